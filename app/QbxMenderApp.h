// CQbxMenderApp: the application. Only one copy runs: a second one brings
// the running copy's wizard forward and ends.
#pragma once

#include "Framework.h"

class CQbxMenderApp : public CWinApp
{
public:
    CQbxMenderApp();
    virtual ~CQbxMenderApp();

    // Runs the wizard, or hands over to a running copy; always FALSE, so the
    // process ends when it returns.
    virtual BOOL InitInstance();

    DECLARE_MESSAGE_MAP()
};

extern CQbxMenderApp theApp;
