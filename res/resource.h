// Resource ids of the updater, shared by the resource script and the code.
#pragma once

#define IDD_UPDATE_DIALOG 102
#define IDI_APP_ICON 152
#define IDC_PROGRESS_BAR 1003
#define IDC_UPDATE_BUTTON 1007
#define IDC_HINT_LABEL 1008
#define IDC_DONE_LABEL -1
