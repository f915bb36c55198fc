// Identifiers of every resource of QbxMender, in blocks: dialogs, images,
// controls, menu commands, strings.
#pragma once

// Dialogs
#define IDD_ABOUTBOX 100
#define IDD_QBXMENDER_DIALOG 102
#define IDD_XPNOTICE 25025

// Icons and bitmaps
#define IDR_MAINFRAME 128
#define IDB_XPNOTICE 129

// Controls (ids are per dialog; 1002 is the page text of the wizard and the
// check box of the notice)
#define IDC_PROGRESS 1000
#define IDC_PAGETEXT 1002
#define IDC_UNDERSTAND 1002
#define IDC_NOTICE_BODY 25026
#define IDC_NOTICE_PICTURE 25027
#define IDC_NOTICE_HEADING 25028
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

// System menu command of the wizard
#define IDM_ABOUTBOX 0x0010

// Strings
#define IDS_ABOUTBOX 101
#define IDS_NEXT 200
#define IDS_FINISH 201
#define IDS_OK 203
#define IDS_WELCOME 300
#define IDS_DIAGNOSING 301
#define IDS_NO_PROBLEM 400
#define IDS_NOT_INSTALLED 401
#define IDS_NOT_ADMIN 402
#define IDS_CLEAR_PROBLEM 1001
#define IDS_PORT_PROBLEM 1200
#define IDS_PORT_REPAIRED 1201
#define IDS_PORT_FAILED 1202
#define IDS_DRIVER_PROBLEM 1300
#define IDS_DRIVER_REPAIRED 1301
#define IDS_DRIVER_FAILED 1302
#define IDS_NOTICE_BODY 1350
#define IDS_NOTICE_CAPTION 1351
#define IDS_NOTICE_UNDERSTAND 1352
#define IDS_NOTICE_HEADING 1353
