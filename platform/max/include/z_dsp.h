// The signal-processing part of the plug-in host interface.
#pragma once

#include "ext.h"

#ifdef __cplusplus
extern "C" {
#endif

// Flags of z_misc.
enum
{
    Z_NO_INPLACE = 1,       // inputs and outputs never share a buffer
    Z_PUT_LAST = 2,
    Z_PUT_FIRST = 4,
    Z_IGNORE_DISABLE = 8
};

// The header of a signal object's record.
typedef struct t_pxobject
{
    t_object z_ob;
    long z_in;
    void* z_proxy;
    long z_disabled;      // non-zero while the object is muted
    short z_count;
    short z_misc;
} t_pxobject;

// The same for user-interface signal objects.
typedef struct t_pxbox
{
    t_object z_box;
    long z_in;
    void* z_proxy;
    long z_disabled;
    short z_count;
    short z_misc;
} t_pxbox;

// The perform routine: buffers of doubles, one per signal inlet and outlet.
typedef void (*t_perfroutine64) (t_object* x, t_object* dsp64, double** ins, long numins, double** outs, long numouts,
                                 long sampleframes, long flags, void* userparam);

MAXHOST_API void class_dspinit (t_class* c);
MAXHOST_API void class_dspinitjbox (t_class* c);
// Creates the object's signal inlets (the first also takes messages).
MAXHOST_API void z_dsp_setup (t_pxobject* x, long nsignals);
// Takes the object out of the signal chain; when it returns, the object's
// perform routine is not running and will not run again.
MAXHOST_API void z_dsp_free (t_pxobject* x);
#define dsp_setup z_dsp_setup
#define dsp_free z_dsp_free

// Also reachable as object_method (dsp64, gensym ("dsp_add64"), x, f, flags, userparam).
MAXHOST_API void dsp_add64 (t_object* dsp64, t_object* x, t_perfroutine64 f, long flags, void* userparam);

MAXHOST_API double sys_getsr (void);
MAXHOST_API int sys_getblksize (void);
MAXHOST_API int sys_getmaxblksize (void);
MAXHOST_API long sys_getdspstate (void);

#ifdef __cplusplus
}
#endif
