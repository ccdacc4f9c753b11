#pragma once

// The toolkit's basic widgets, one header per class or small family.
#include "toolkit/sbutton.h"
#include "toolkit/scaption.h"
#include "toolkit/scombobox.h"
#include "toolkit/sedit.h"
#include "toolkit/simagewnd.h"
#include "toolkit/ssliderbar.h"
#include "toolkit/sstatic.h"
#include "toolkit/stogglebutton.h"
