#pragma once

#include "ext_obex.h"
#include "z_dsp.h"

#include <cstddef>
#include <type_traits>

/** The beginning of every object record of the family: the signal header, the
    box, the storage of the four documentation attributes and the two flags
    that "postdspstatus" reads. Object records start with it. */
struct t_oskelmax_object
{
    t_pxobject header;
    t_object* box;
    t_symbol* classdescription;
    t_symbol* classdigest;
    t_symbol* externalversion;
    t_symbol* classseealso;
    t_atom_long muted;      // 1 = on
    t_atom_long bypassed;   // 1 = on
};

static_assert (std::is_standard_layout_v<t_oskelmax_object>, "the family header is read through the object pointer");
static_assert (offsetof (t_oskelmax_object, header) == 0, "the host's header comes first");
static_assert (offsetof (t_oskelmax_object, box) == sizeof (t_pxobject), "the box follows the signal header");
static_assert (offsetof (t_oskelmax_object, classdescription) == offsetof (t_oskelmax_object, box) + sizeof (t_object*));
static_assert (offsetof (t_oskelmax_object, classseealso) == offsetof (t_oskelmax_object, classdescription) + 3 * sizeof (t_symbol*));
static_assert (offsetof (t_oskelmax_object, muted) == offsetof (t_oskelmax_object, classseealso) + sizeof (t_symbol*));
static_assert (offsetof (t_oskelmax_object, bypassed) == offsetof (t_oskelmax_object, muted) + sizeof (t_atom_long));

// Registration; a failed registration of a message with arguments is posted.
void oskelmax_addgimmemethod (t_class* c, method handler, const char* name);
void oskelmax_addnoargmethod (t_class* c, method handler, const char* name);
void oskelmax_addstandardmethods (t_class* c);
void oskelmax_adddumpmethod (t_class* c);
void oskelmax_addresetmethod (t_class* c);
void oskelmax_addpostdspstatusmethod (t_class* c);
void oskelmax_addassistmethod (t_class* c, method handler);
void oskelmax_addwindowmethods (t_class* c, method openHandler, method closeHandler);
void oskelmax_adddsp64method (t_class* c, method handler);
void oskelmax_setdictionaryconstructor (t_class* c);
void* oskelmax_objectalloc (t_class* c);

/** The writer of an object's reference page, which the glue does not hold itself. */
using oskelmax_pagewriter = void (*) (t_object* x);

/** Sets the writer that "generatexml" calls on the main thread; the plug-in sets it
    before it adds the standard methods. Without one (null), "generatexml" posts an error. */
void oskelmax_setgeneratexmlhook (oskelmax_pagewriter writer) noexcept;

/** Wraps a handler of any signature as the host's method type. */
template <typename Function>
method oskelmax_method (Function f)
{
    return reinterpret_cast<method> (reinterpret_cast<void (*)()> (f));
}
