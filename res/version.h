// The one place for QbxMender's version and the maker's notice.
#pragma once

#define QBX_VERSION_NUMBERS 1, 0, 0, 0
#define QBX_VERSION_TEXT "1.0.0.0"
#define QBX_PRODUCT_NAME "QbxMender"
#define QBX_DESCRIPTION "QbxMender self-diagnosis for the QX-R310/520 series"
#define QBX_COMPANY "Veltro Co., Ltd."
#define QBX_COPYRIGHT "Copyright (C) 2004 Veltro Co., Ltd."
