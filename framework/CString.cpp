// CString: a growable, always NUL-terminated 8-bit buffer on the C runtime heap.
#include "CString.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static char s_szEmpty[1] = "";

CString::CString() : m_pszData(s_szEmpty), m_nLength(0), m_nAlloc(0)
{
}

CString::CString(const char* psz) : m_pszData(s_szEmpty), m_nLength(0), m_nAlloc(0)
{
    *this += psz;
}

CString::CString(const CString& src) : m_pszData(s_szEmpty), m_nLength(0), m_nAlloc(0)
{
    Assign(src.m_pszData, src.m_nLength);
}

CString::~CString()
{
    if (m_nAlloc != 0)
        free(m_pszData);
}

CString& CString::operator=(const CString& src)
{
    if (this != &src)
        Assign(src.m_pszData, src.m_nLength);
    return *this;
}

CString& CString::operator=(const char* psz)
{
    Assign(psz, psz != NULL ? lstrlenA(psz) : 0);
    return *this;
}

void CString::Empty()
{
    m_nLength = 0;
    m_pszData[0] = '\0';
}

BOOL CString::Reserve(int nLength)
{
    if (nLength < m_nAlloc)
        return TRUE;
    if (nLength < 0 || nLength > 0x7FFFFFF)
        return FALSE;
    int nAlloc = m_nAlloc < 64 ? 64 : m_nAlloc;
    while (nAlloc <= nLength)
        nAlloc *= 2;
    char* pNew = static_cast<char*>(m_nAlloc != 0 ? realloc(m_pszData, nAlloc) : malloc(nAlloc));
    if (pNew == NULL)
        return FALSE;
    if (m_nAlloc == 0)
        pNew[0] = '\0';
    m_pszData = pNew;
    m_nAlloc = nAlloc;
    return TRUE;
}

BOOL CString::Assign(const char* psz, int nLength)
{
    if (nLength <= 0)
    {
        Empty();
        return TRUE;
    }
    // psz may point into our own buffer only when assigning to ourselves,
    // which operator= filters out.
    if (!Reserve(nLength))
        return FALSE;
    memcpy(m_pszData, psz, nLength);
    m_pszData[nLength] = '\0';
    m_nLength = nLength;
    return TRUE;
}

CString& CString::Append(const char* psz, int nLength)
{
    if (nLength <= 0)
        return *this;
    if (nLength > 0x7FFFFFF - m_nLength)
        return *this;
    // Appending a string to itself: the source moves when the buffer grows.
    if (psz == m_pszData)
    {
        CString copy(*this);
        return Append(copy.m_pszData, nLength);
    }
    if (!Reserve(m_nLength + nLength))
        return *this;
    memcpy(m_pszData + m_nLength, psz, nLength);
    m_nLength += nLength;
    m_pszData[m_nLength] = '\0';
    return *this;
}

BOOL CString::LoadString(UINT nID)
{
    HINSTANCE hInst = GetModuleHandleA(NULL);
    // LoadStringA cannot tell a text that fills the buffer from a cut one:
    // grow until the text leaves room to spare.
    for (int nSize = 256; nSize <= 0x10000; nSize *= 4)
    {
        if (!Reserve(nSize))
            break;
        int nLen = ::LoadStringA(hInst, nID, m_pszData, nSize);
        if (nLen < nSize - 1)
        {
            m_nLength = nLen > 0 ? nLen : 0;
            m_pszData[m_nLength] = '\0';
            return nLen > 0;
        }
    }
    Empty();
    return FALSE;
}

void CString::Format(const char* pszFormat, ...)
{
    for (int nSize = 256; nSize <= 0x100000; nSize *= 4)
    {
        if (!Reserve(nSize))
            break;
        va_list args;
        va_start(args, pszFormat);
        // The runtime's _vsnprintf returns -1 when the text does not fit and
        // leaves it unterminated when it fits exactly: keep one byte spare.
        int nLen = _vsnprintf(m_pszData, nSize - 1, pszFormat, args);
        va_end(args);
        if (nLen >= 0 && nLen < nSize - 1)
        {
            m_nLength = nLen;
            m_pszData[nLen] = '\0';
            return;
        }
    }
    Empty();
}
