// Host programming interface for plug-in objects: symbols, atoms, classes,
// objects, messages, outlets, the console, clocks, queue elements, deferral,
// memory, binbufs, paths and file dialogs. Plain C linkage, so that plug-ins
// written in C or C++ link against libmaxhost.so alone.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define MAXHOST_API __attribute__ ((visibility ("default")))

typedef long t_atom_long;           // 64-bit on every platform we build for
typedef double t_atom_float;
typedef t_atom_long t_max_err;
typedef unsigned int t_fourcc;
typedef intptr_t t_ptr_int;
typedef uintptr_t t_ptr_uint;
typedef size_t t_ptr_size;
typedef char* t_ptr;

// Registered routines are stored under this one pointer type; the host calls
// each through its own typed signature (see class_addmethod).
typedef void* (*method) (void*, ...);

typedef enum
{
    MAX_ERR_NONE = 0,
    MAX_ERR_GENERIC = -1,
    MAX_ERR_INVALID_PTR = -2,
    MAX_ERR_DUPLICATE = -3,
    MAX_ERR_OUT_OF_MEM = -4
} e_max_errorcodes;

// Atom types, and argument types of methods and creation routines.
typedef enum
{
    A_NOTHING = 0,
    A_LONG = 1,
    A_FLOAT = 2,
    A_SYM = 3,
    A_OBJ = 4,
    A_DEFLONG = 5,
    A_DEFFLOAT = 6,
    A_DEFSYM = 7,
    A_GIMME = 8,   // selector, count and atoms
    A_CANT = 9,    // called only by the host, with its own signature
    A_SEMI = 10,
    A_COMMA = 11
} e_max_atomtypes;

struct _object;
struct _class;

typedef struct _symbol
{
    const char* s_name;
    struct _object* s_thing;   // whatever is bound to the name
} t_symbol;

union word
{
    t_atom_long w_long;
    t_atom_float w_float;
    t_symbol* w_sym;
    struct _object* w_obj;
};

typedef struct atom
{
    short a_type;
    union word a_w;
} t_atom;

// The header of every object record; a plug-in's record starts with it
// (or with the signal header of z_dsp.h, which starts with it).
typedef struct _object
{
    struct _class* o_class;
    void* o_host;         // the host's own per-object data
    long o_magic;
} t_object;

typedef struct _class
{
    t_symbol* c_sym;      // class name
    long c_flags;         // CLASS_FLAG_...
    long c_size;          // size of the instance record
    void* c_host;         // the host's own per-class data
} t_class;

enum
{
    CLASS_FLAG_BOX = 0x1,
    CLASS_FLAG_NEWDICTIONARY = 0x4,   // the creation routine gets the box's attribute dictionary
    CLASS_FLAG_REGISTERED = 0x8,
    CLASS_FLAG_UIOBJECT = 0x10
};

#define CLASS_BOX gensym ("box")
#define CLASS_NOBOX gensym ("nobox")

typedef struct _outlet t_outlet;
typedef struct _clock t_clock;
typedef struct _qelem t_qelem;
typedef struct _binbuf t_binbuf;

#define MAX_PATH_CHARS 2048
#define MAX_FILENAME_CHARS 512
#define FOUR_CHAR_CODE(x) ((t_fourcc) (x))

// Symbols -------------------------------------------------------------------
MAXHOST_API t_symbol* gensym (const char* name);
MAXHOST_API t_symbol* symbol_unique (void);
// Sorts by name, byte by byte.
MAXHOST_API t_max_err symbolarray_sort (long ac, t_symbol** av);

// Memory --------------------------------------------------------------------
MAXHOST_API t_ptr sysmem_newptr (long size);
MAXHOST_API t_ptr sysmem_newptrclear (long size);
MAXHOST_API t_ptr sysmem_resizeptr (void* ptr, long newsize);
MAXHOST_API void sysmem_freeptr (void* ptr);
MAXHOST_API void sysmem_copyptr (const void* src, void* dst, long bytes);

// Console -------------------------------------------------------------------
MAXHOST_API void post (const char* fmt, ...) __attribute__ ((format (printf, 1, 2)));
MAXHOST_API void cpost (const char* fmt, ...) __attribute__ ((format (printf, 1, 2)));
MAXHOST_API void error (const char* fmt, ...) __attribute__ ((format (printf, 1, 2)));
MAXHOST_API void object_post (t_object* x, const char* fmt, ...) __attribute__ ((format (printf, 2, 3)));
MAXHOST_API void object_warn (t_object* x, const char* fmt, ...) __attribute__ ((format (printf, 2, 3)));
MAXHOST_API void object_error (t_object* x, const char* fmt, ...) __attribute__ ((format (printf, 2, 3)));
MAXHOST_API void object_bug (t_object* x, const char* fmt, ...) __attribute__ ((format (printf, 2, 3)));

// Classes -------------------------------------------------------------------
// class_new (name, creation, destruction, record size, menu routine, argument
// types..., 0). Creation takes (t_symbol*, long argc, t_atom* argv) for A_GIMME
// or nothing; destruction takes the object.
MAXHOST_API t_class* class_new (const char* name, method mnew, method mfree, long size, method mmenu, short type, ...);
// class_addmethod (class, routine, name, argument types..., 0). Signatures:
//   no type:  void f (t_object*)
//   A_LONG:   void f (t_object*, t_atom_long)        A_FLOAT: void f (t_object*, double)
//   A_SYM, A_DEFSYM: void f (t_object*, t_symbol*)
//   A_GIMME:  void f (t_object*, t_symbol* s, long argc, t_atom* argv)
//   A_CANT, by name:
//     "dsp64":      void f (t_object*, t_object* dsp64, short* count, double sr, long maxvectorsize, long flags)
//     "assist":     void f (t_object*, void* box, long kind, long index, char* text)   (kind 1 inlet, 2 outlet; text holds 512 bytes)
//     "getvalueof": t_max_err f (t_object*, long* ac, t_atom** av)
//     "setvalueof": t_max_err f (t_object*, long ac, t_atom* av)
//     "dblclick":   void f (t_object*)
//     "notify":     t_max_err f (t_object*, t_symbol* s, t_symbol* msg, void* sender, void* data)
MAXHOST_API t_max_err class_addmethod (t_class* c, method m, const char* name, ...);
MAXHOST_API t_max_err class_register (t_symbol* name_space, t_class* c);
MAXHOST_API t_class* class_findbyname (t_symbol* name_space, t_symbol* classname);
MAXHOST_API t_symbol* class_nameget (t_class* c);
MAXHOST_API void class_obexoffset_set (t_class* c, long offset);

// Objects -------------------------------------------------------------------
// A zero-filled record of the class's size.
MAXHOST_API void* object_alloc (t_class* c);
MAXHOST_API t_max_err object_free (void* x);
// Creates an object as a box is created: for a class with the dictionary flag
// the creation routine gets the attribute dictionary as a last object atom.
MAXHOST_API void* object_new_typed (t_symbol* name_space, t_symbol* classname, long ac, t_atom* av);
MAXHOST_API t_symbol* object_classname (void* x);
MAXHOST_API t_class* object_class (void* x);
MAXHOST_API method object_getmethod (void* x, t_symbol* s);
// Calls a method with a C argument list: for A_CANT methods the arguments of
// their signature; for attribute objects "gettype", "getname", "getflags"
// (no arguments, the answer is the result) and "setmethod" (t_symbol* get or
// set, method); for a DSP chain "dsp_add64" (see z_dsp.h).
MAXHOST_API void* object_method (void* x, t_symbol* s, ...);
// Sends a message as the patcher does: argument types are checked, an
// attribute's name sets the attribute, anything else is reported.
MAXHOST_API t_max_err object_method_typed (void* x, t_symbol* s, long ac, t_atom* av, t_atom* rv);
MAXHOST_API void* typedmess (t_object* x, t_symbol* s, short ac, t_atom* av);
// Tells the object's clients that it changed; the host records it.
MAXHOST_API t_max_err object_notify (void* x, t_symbol* s, void* data);
MAXHOST_API t_max_err object_obex_store (void* x, t_symbol* key, t_object* val);
MAXHOST_API t_max_err object_obex_lookup (void* x, t_symbol* key, t_object** val);
MAXHOST_API void object_obex_dumpout (void* x, t_symbol* s, long argc, t_atom* argv);

// Outlets: a new outlet is placed to the left of the existing ones.
MAXHOST_API void* outlet_new (void* x, const char* type);
MAXHOST_API void* outlet_bang (void* o);
MAXHOST_API void* outlet_int (void* o, t_atom_long n);
MAXHOST_API void* outlet_float (void* o, double f);
MAXHOST_API void* outlet_list (void* o, t_symbol* s, short ac, t_atom* av);
MAXHOST_API void* outlet_anything (void* o, t_symbol* s, short ac, t_atom* av);

// Atoms ---------------------------------------------------------------------
MAXHOST_API t_max_err atom_setlong (t_atom* a, t_atom_long b);
MAXHOST_API t_max_err atom_setfloat (t_atom* a, double b);
MAXHOST_API t_max_err atom_setsym (t_atom* a, t_symbol* b);
MAXHOST_API t_max_err atom_setobj (t_atom* a, void* b);
MAXHOST_API t_atom_long atom_getlong (const t_atom* a);
MAXHOST_API t_atom_float atom_getfloat (const t_atom* a);
MAXHOST_API t_symbol* atom_getsym (const t_atom* a);
MAXHOST_API void* atom_getobj (const t_atom* a);
MAXHOST_API long atom_gettype (const t_atom* a);
MAXHOST_API t_max_err atom_setlong_array (long ac, t_atom* av, long count, const t_atom_long* vals);
MAXHOST_API t_max_err atom_setfloat_array (long ac, t_atom* av, long count, const float* vals);
MAXHOST_API t_max_err atom_setdouble_array (long ac, t_atom* av, long count, const double* vals);
MAXHOST_API t_max_err atom_setsym_array (long ac, t_atom* av, long count, t_symbol* const* vals);
// The atoms as the console shows them, separated by blanks; *text is
// allocated with sysmem_newptr when it is null.
MAXHOST_API t_max_err atom_gettext (long ac, const t_atom* av, long* textsize, char** text, long flags);

// Binbufs -------------------------------------------------------------------
MAXHOST_API t_binbuf* binbuf_new (void);
// Appends one message (the atoms, then a semicolon).
MAXHOST_API void binbuf_insert (t_binbuf* b, t_symbol* s, short argc, t_atom* argv);
// Appends the atoms parsed from text.
MAXHOST_API t_max_err binbuf_text (t_binbuf* b, char** text, long size);
// The stored atoms (semicolons included); the array belongs to the binbuf.
MAXHOST_API t_max_err binbuf_getatoms (t_binbuf* b, long* ac, t_atom** av);
// Sends every stored message whose first atom is an object to that object:
// (object, class name, selector, arguments...).
MAXHOST_API t_max_err binbuf_eval_messages (t_binbuf* b);

// Time: clocks run on the scheduler thread -----------------------------------
// Clock routines take the owner: void f (void* owner).
MAXHOST_API t_clock* clock_new (void* owner, method fn);
MAXHOST_API void clock_delay (t_clock* c, long ms);
MAXHOST_API void clock_fdelay (t_clock* c, double ms);
MAXHOST_API void clock_unset (t_clock* c);
// Also object_free; waits for a tick that is running on another thread.
MAXHOST_API void clock_free (t_clock* c);
MAXHOST_API long gettime (void);
MAXHOST_API void clock_getftime (double* time);

// Queue elements: routines run on the main thread, void f (void* owner).
// qelem_set is lock-free from any thread and coalesces until the routine runs.
MAXHOST_API t_qelem* qelem_new (void* owner, method fn);
MAXHOST_API void qelem_set (t_qelem* q);
MAXHOST_API void qelem_unset (t_qelem* q);
MAXHOST_API void qelem_free (t_qelem* q);

// Deferral to the main thread: void f (t_object* owner, t_symbol* s, long argc, t_atom* argv).
// defer runs at once on the main thread; defer_low always queues.
MAXHOST_API void* defer (void* owner, method fn, t_symbol* s, short argc, t_atom* argv);
MAXHOST_API void* defer_low (void* owner, method fn, t_symbol* s, short argc, t_atom* argv);

MAXHOST_API long systhread_ismainthread (void);
MAXHOST_API long systhread_istimerthread (void);
MAXHOST_API long systhread_isaudiothread (void);

// Routines run on the main thread when the host quits: void f (void* arg).
MAXHOST_API void quittask_install (method m, void* a);
MAXHOST_API void quittask_remove (method m);

// Paths and file dialogs -----------------------------------------------------
// Path identifiers stand for folders; file names are relative to them.
MAXHOST_API short path_getdefault (void);
MAXHOST_API short path_frompathname (const char* name, short* path, char* filename);
MAXHOST_API short path_topathname (short path, const char* file, char* name);
MAXHOST_API short path_topotentialname (short path, const char* file, char* name, short check);
MAXHOST_API short path_toabsolutesystempath (short path, const char* file, char* name);
// The save dialog: on return 0, *path and name give the chosen file; non-zero
// means the user cancelled.
MAXHOST_API short saveasdialog_extended (char* name, short* path, t_fourcc* type, t_fourcc* typelist, short numtypes);

// Common symbols --------------------------------------------------------------
typedef struct _common_symbols_table
{
    t_symbol* s_nothing;      // ""
    t_symbol* s_bang;
    t_symbol* s_int;
    t_symbol* s_float;
    t_symbol* s_list;
    t_symbol* s_symbol;
    t_symbol* s_long;
    t_symbol* s_float32;
    t_symbol* s_float64;
    t_symbol* s_atom;
    t_symbol* s_object;
    t_symbol* s_signal;
    t_symbol* s_dumpout;      // the obex key of an object's dump outlet
    t_symbol* s_dictionary;   // the selector that passes a dictionary by name
    t_symbol* s_modified;     // the notification that an object changed
    t_symbol* s_attr_modified;
    t_symbol* s_default;
    t_symbol* s_label;
    t_symbol* s_style;
    t_symbol* s_getname;
    t_symbol* s_gettype;
    t_symbol* s_setmethod;
    t_symbol* s_get;
    t_symbol* s_set;
} t_common_symbols_table;

MAXHOST_API t_common_symbols_table* common_symbols_gettable (void);

#ifdef __cplusplus
}
#endif

#include "ext_obex.h"
