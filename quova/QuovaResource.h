// Resource ids of the Quova stand-in.
#pragma once

#define IDD_QUOVA 100
#define IDC_FOLDER 101
#define IDC_SWITCHES 102
