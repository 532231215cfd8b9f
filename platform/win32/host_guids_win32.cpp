// The document host's GUIDs that the system's uuid library lacks (IID_IDocHostShowUI,
// CGID_DocHostCommandHandler): defined here, once, from the SDK's own declarations.
#include <initguid.h>

#include <mshtmhst.h>
