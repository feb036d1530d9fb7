// The report lives in tools/report/; this name stays for the text helpers that still use it.
#pragma once

#include "tools/report/score_report.h"
