// The registry of named dictionaries.
#pragma once

#include "ext_obex.h"

#ifdef __cplusplus
extern "C" {
#endif

// Registers d under *name (a fresh unique name when *name is null or taken by
// another dictionary; *name then holds the name used). The registry holds one
// reference, dropped by dictobj_release or dictobj_unregister.
MAXHOST_API t_dictionary* dictobj_register (t_dictionary* d, t_symbol** name);
MAXHOST_API t_max_err dictobj_unregister (t_dictionary* d);
// The dictionary registered under name with one more reference, or null.
MAXHOST_API t_dictionary* dictobj_findregistered_retain (t_symbol* name);
MAXHOST_API t_max_err dictobj_release (t_dictionary* d);
MAXHOST_API t_symbol* dictobj_namefromptr (t_dictionary* d);

#ifdef __cplusplus
}
#endif
