// Placeholder start-up until the wizard lands.
#include "CWinApp.h"
#include "SysEnv.h"

class CQbxMenderApp : public CWinApp
{
public:
    virtual BOOL InitInstance() { return FALSE; }
};

CQbxMenderApp theApp;
CSysEnv theSysEnv;
