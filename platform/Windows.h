// Everything of the window system and runtime the program calls by its platform name. Program
// code includes only this header; the topic headers it gathers can also be included alone.
#pragma once

#include "platform/Controls.h"
#include "platform/Crt.h"
#include "platform/Kernel.h"
#include "platform/Runtime.h"
#include "platform/UserMessageBox.h"
#include "platform/UserQueue.h"
#include "platform/UserWindow.h"
#include "platform/WinMessages.h"
#include "platform/WinTypes.h"
