// Everything of the window system and runtime the program calls by its platform name. Program
// code includes only this header; the topic headers it gathers can also be included alone.
#pragma once

#include "platform/Controls.h"
#include "platform/Crt.h"
#include "platform/Gdi.h"
#include "platform/Kernel.h"
#include "platform/Resources.h"
#include "platform/Runtime.h"
#include "platform/Startup.h"
#include "platform/UserAccelerators.h"
#include "platform/UserDialog.h"
#include "platform/UserIcons.h"
#include "platform/UserMessageBox.h"
#include "platform/UserQueue.h"
#include "platform/UserWindow.h"
#include "platform/WinMessages.h"
#include "platform/WinTypes.h"
