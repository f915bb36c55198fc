// Resource ids of QbxMinimal. The text control and its string share the
// wizard's ids, so the benchmark reads both programs the same way.
#pragma once

#define IDD_MINIMAL_DIALOG 102
#define IDC_MINIMAL_TEXT 1002
#define IDS_MINIMAL_TEXT 300
