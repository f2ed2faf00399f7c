// A tiny plug-in for the driver: a signal object "test.gain~" that scales its
// input by the "gain" attribute, with a few messages, a clock and a queue
// element. It exports main and nothing else.
#include "ext.h"
#include "ext_mainloop.h"
#include "ext_obex.h"
#include "z_dsp.h"

#include <X11/Xlib.h>
#include <cstddef>

namespace
{
struct Gain
{
    t_pxobject header;
    double gain;
    void* dump;
    t_clock* clock;
    t_qelem* qelem;
    Display* display;
    Window window;
};

t_class* gainClass = nullptr;

template <typename Function>
method asMethod (Function f)
{
    return reinterpret_cast<method> (reinterpret_cast<void (*)()> (f));
}

void gainPerform (t_object* x, t_object*, double** ins, long, double** outs, long, long frames, long, void*)
{
    const double gain = reinterpret_cast<Gain*> (x)->gain;
    for (long i = 0; i < frames; ++i)
        outs[0][i] = ins[0][i] * gain;
}

void gainHello (Gain* x, t_symbol*, long argc, t_atom* argv)
{
    long size = 0;
    char* text = nullptr;
    atom_gettext (argc, argv, &size, &text, 0);
    object_post (&x->header.z_ob, "hello %s", text != nullptr ? text : "");
    sysmem_freeptr (text);
}

// A plain red window of 40 x 30 at the top left of the screen, or at the position
// given, reported to the host so that it can be photographed.
void gainWindow (Gain* x, t_symbol*, long argc, t_atom* argv)
{
    if (x->display != nullptr || (x->display = XOpenDisplay (nullptr)) == nullptr)
        return;
    const auto left = static_cast<int> (argc >= 2 ? atom_getlong (argv) : 0);
    const auto top = static_cast<int> (argc >= 2 ? atom_getlong (argv + 1) : 0);
    x->window = XCreateSimpleWindow (x->display, DefaultRootWindow (x->display), left, top, 40, 30, 0, 0, 0xFF0000);
    XSelectInput (x->display, x->window, StructureNotifyMask);
    XMapWindow (x->display, x->window);
    XEvent event;
    do
        XNextEvent (x->display, &event);
    while (event.type != MapNotify);
    XSync (x->display, False);
    maxhost_setobjectwindow (&x->header.z_ob, x->window);
}

// "tick" arms the clock, whose firing sets the queue element, whose task says "ticked".
void* gainNew (t_symbol*, long argc, t_atom* argv)
{
    auto* x = static_cast<Gain*> (object_alloc (gainClass));
    if (x == nullptr)
        return nullptr;
    z_dsp_setup (&x->header, 1);
    x->dump = outlet_new (x, nullptr);
    outlet_new (x, "signal");
    x->clock = clock_new (x, asMethod (+[] (Gain* g) { qelem_set (g->qelem); }));
    x->qelem = qelem_new (x, asMethod (+[] (Gain* g) { outlet_anything (g->dump, gensym ("ticked"), 0, nullptr); }));
    // Warns of the attributes it does not have while it is being made.
    auto* arguments = object_dictionaryarg (argc, argv);
    attr_dictionary_check (x, arguments);
    attr_dictionary_process (x, arguments);
    return x;
}

void gainFree (Gain* x)
{
    z_dsp_free (&x->header);
    object_free (x->clock);
    qelem_free (x->qelem);
    if (x->display != nullptr)
    {
        maxhost_setobjectwindow (&x->header.z_ob, 0);
        XDestroyWindow (x->display, x->window);
        XCloseDisplay (x->display);
    }
}
} // namespace

__attribute__ ((visibility ("default"))) int main()
{
    auto* c = class_new ("test.gain~", asMethod (gainNew), asMethod (gainFree), sizeof (Gain), nullptr, A_GIMME, 0);
    c->c_flags |= CLASS_FLAG_NEWDICTIONARY;
    class_addmethod (c, asMethod (+[] (Gain* x) { outlet_float (x->dump, x->gain); }), "bang", 0);
    class_addmethod (c, asMethod (gainHello), "hello", A_GIMME, 0);
    class_addmethod (c, asMethod (+[] (Gain* x) { clock_fdelay (x->clock, 10.0); }), "tick", 0);
    class_addmethod (c, asMethod (gainWindow), "window", A_GIMME, 0);
    class_addmethod (c, asMethod (+[] (Gain* x, t_object* dsp64, short*, double, long, long) {
                         object_method (dsp64, gensym ("dsp_add64"), x, gainPerform, 0L, static_cast<void*> (nullptr));
                     }),
                     "dsp64", A_CANT, 0);
    CLASS_ATTR_DOUBLE (c, "gain", 0, Gain, gain);
    CLASS_ATTR_FILTER_CLIP (c, "gain", 0.0, 2.0);
    CLASS_ATTR_DEFAULT (c, "gain", 0, "1");
    class_dspinit (c);
    class_register (CLASS_BOX, c);
    gainClass = c;
    return 0;
}
