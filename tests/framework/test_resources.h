// Resource ids of the framework tests: dialogs from 100, controls from 1001.
#pragma once

#define IDD_TEST 100
#define IDD_MISSING 199  // no such template
#define IDC_RECORDER_A 1002
#define IDC_RECORDER_B 1003
