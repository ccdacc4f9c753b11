#include "cli/cli_output.h"

#include <algorithm>
#include <cstdio>

#include "cli/key_text.h"

namespace kb::cli {

namespace {

std::string SlotName(std::uint8_t code) {
    return code == 0 ? "-" : KeyDisplayName(code);
}

std::string Format(const char* format, auto... values) {
    char text[128];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

std::string NumberOrDash(int value) {
    return value < 0 ? std::string("-") : std::to_string(value);
}

std::string PadRight(std::string text, std::size_t width) {
    if (text.size() < width) {
        text.append(width - text.size(), ' ');
    }
    return text;
}

}  // namespace

std::string FormatSlotTables(int profile, const SlotTable& macro, const SlotTable& remap) {
    constexpr std::size_t kColumn = 12;
    std::string text = "profile " + std::to_string(profile) + "\n";
    text += "slot  " + PadRight("macro", kColumn) + " remap\n";
    for (std::size_t slot = 0; slot < macro.size(); ++slot) {
        text += Format("%4zu  ", slot + 1) + PadRight(SlotName(macro[slot]), kColumn) + " " +
                SlotName(remap[slot]) + "\n";
    }
    return text;
}

std::string FormatInterfaceList(const std::vector<HidInterfaceInfo>& interfaces,
                                std::optional<std::size_t> marked) {
    std::size_t productWidth = 7;  // "product"
    for (const HidInterfaceInfo& info : interfaces) {
        productWidth = std::max(productWidth, info.product.value_or("-").size());
    }
    std::string text = "  vid  pid   interface  collection  usage      " +
                       PadRight("product", productWidth) + "  path\n";
    for (std::size_t i = 0; i < interfaces.size(); ++i) {
        const HidInterfaceInfo& info = interfaces[i];
        text += (marked && *marked == i) ? "* " : "  ";
        text += Format("%04x %04x  ", static_cast<unsigned>(info.vendorId),
                       static_cast<unsigned>(info.productId));
        text += PadRight(NumberOrDash(info.interfaceNumber), 9) + "  ";
        text += PadRight(NumberOrDash(info.collection), 10) + "  ";
        text += Format("%04x:%04x  ", static_cast<unsigned>(info.usagePage),
                       static_cast<unsigned>(info.usage));
        text += PadRight(info.product.value_or("-"), productWidth) + "  " + info.path + "\n";
    }
    return text;
}

}  // namespace kb::cli
