#pragma once

// Builders of the lines the simulated keyboard's trace holds ("send 07 ..", "read 07 ..",
// "wait N"), so an expected exchange reads like the wire.

#include <initializer_list>
#include <string>
#include <vector>

namespace kb::wire {

using Lines = std::vector<std::string>;

// The parts one after another.
Lines Join(std::initializer_list<Lines> parts);

// Seven zero bytes: a reply or report after its id that carries nothing.
extern const std::string kZeros;

// One read-back: the query, then the four reads; each reply is given without its report id.
Lines ReadBack(const std::string& r1, const std::string& r2, const std::string& r3,
               const std::string& r4);

// The read-back of a profile whose slots are all free; the keyboard puts the profile first.
Lines EmptyReadBack(int profile = 1);

// The read-back of a keyboard that has gone away: the query and every read fail.
Lines LostReadBack();

// The profile selection report and the wait after it.
Lines SelectProfile(int profile);

// The 28 reports of a record transfer (each given whole, report id included), zero
// continuations after them, and the longer wait that ends an assignment.
Lines Transfer(const Lines& reports, bool assignment);

}  // namespace kb::wire
