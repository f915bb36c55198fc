// The program's class framework: a thin layer of C++ over Win32.
#pragma once

#include "CDC.h"
#include "CDataExchange.h"
#include "CDialog.h"
#include "CFont.h"
#include "CMenu.h"
#include "CProgressCtrl.h"
#include "CString.h"
#include "CWinApp.h"
#include "CWnd.h"
#include "MessageMap.h"
