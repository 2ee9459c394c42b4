// Everything of the window system and runtime the program calls by its platform name. Program
// code includes only this header; the topic headers it gathers can also be included alone.
#pragma once

#include "platform/controls/Controls.h"
#include "platform/runtime/Crt.h"
#include "platform/gdi/Gdi.h"
#include "platform/runtime/Kernel.h"
#include "platform/resources/Resources.h"
#include "platform/runtime/Runtime.h"
#include "platform/runtime/Startup.h"
#include "platform/user/UserAccelerators.h"
#include "platform/user/UserDialog.h"
#include "platform/user/UserIcons.h"
#include "platform/user/UserMessageBox.h"
#include "platform/user/UserQueue.h"
#include "platform/user/UserWindow.h"
#include "platform/user/WinMessages.h"
#include "platform/runtime/WinTypes.h"
