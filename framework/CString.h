// CString: the program's 8-bit text, loaded from the string table, formatted
// and joined. It never throws: when memory runs out it keeps what it had.
#pragma once

#include <windows.h>

class CString
{
public:
    CString();
    CString(const char* psz);
    CString(const CString& src);
    ~CString();

    CString& operator=(const CString& src);
    CString& operator=(const char* psz);
    CString& operator+=(const CString& src) { return Append(src.m_pszData, src.m_nLength); }
    CString& operator+=(const char* psz) { return Append(psz, psz != NULL ? lstrlenA(psz) : 0); }

    // Replaces the text with string-table entry nID; FALSE (and empty) when absent.
    BOOL LoadString(UINT nID);
    // printf-style formatting through the C runtime's bounded _vsnprintf.
    void Format(const char* pszFormat, ...);
    void Empty();

    int GetLength() const { return m_nLength; }
    BOOL IsEmpty() const { return m_nLength == 0; }
    operator const char*() const { return m_pszData; }

private:
    CString& Append(const char* psz, int nLength);
    BOOL Reserve(int nLength);
    BOOL Assign(const char* psz, int nLength);

    char* m_pszData; // never NULL: points at a shared empty text until allocated
    int m_nLength;
    int m_nAlloc; // bytes allocated, 0 while m_pszData is the shared empty text
};
