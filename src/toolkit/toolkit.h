#pragma once

// Everything of the toolkit in one include.
#include "toolkit/named_ids.h"
#include "toolkit/sapp.h"
#include "toolkit/sevent.h"
#include "toolkit/shostwnd.h"
#include "toolkit/slistview.h"
#include "toolkit/sskin.h"
#include "toolkit/stabctrl.h"
#include "toolkit/swidgets.h"
#include "toolkit/swnd.h"
#include "toolkit/theme.h"
#include "toolkit/translator.h"
