// CFont: owns one GDI font, deleted with the wrapper or when a new one is made.
#pragma once

#include <windows.h>

class CFont
{
public:
    CFont() : m_hObject(NULL) {}
    ~CFont() { DeleteObject(); }

    BOOL CreateFontIndirect(const LOGFONTA* lpLogFont)
    {
        DeleteObject();
        m_hObject = ::CreateFontIndirectA(lpLogFont);
        return m_hObject != NULL;
    }
    void DeleteObject()
    {
        if (m_hObject != NULL)
            ::DeleteObject(m_hObject);
        m_hObject = NULL;
    }

    HFONT m_hObject;

private:
    CFont(const CFont&);
    CFont& operator=(const CFont&);
};
