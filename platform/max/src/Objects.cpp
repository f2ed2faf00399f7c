// Classes, objects, message dispatch and creation of boxes.
#include "Host.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace maxhost::detail
{
namespace
{
    struct Registry
    {
        std::mutex mutex;
        std::unordered_set<const void*> live;
        std::unordered_set<const void*> userObjects;
        std::vector<t_object*> creationOrder;
        std::map<std::pair<t_symbol*, t_symbol*>, t_class*> classes;   // (name space, name)
        std::vector<t_class*> allClasses;
    };

    Registry& registry()
    {
        static Registry* r = new Registry();
        return *r;
    }

    constexpr long objectMagic = 1758097522;

    t_class* makeClass (const char* name, bool internal)
    {
        auto* c = new t_class();
        c->c_sym = gensym (name);
        auto* data = new ClassData();
        data->internal = internal;
        c->c_host = data;
        return c;
    }

    void freeClass (t_class* c)
    {
        auto* data = classDataOf (c);
        if (data != nullptr)
        {
            for (auto* attr : data->attributes)
                freeAttribute (attr);
            delete data;
        }
        delete c;
    }

    std::vector<short> readTypes (short first, va_list args)
    {
        std::vector<short> types;
        short type = first;
        while (type != A_NOTHING && types.size() < 16)
        {
            types.push_back (type);
            type = static_cast<short> (va_arg (args, int));
        }
        return types;
    }

    bool supportedSignature (const std::vector<short>& types)
    {
        if (types.empty())
            return true;
        if (types.size() == 1)
            return types[0] == A_LONG || types[0] == A_FLOAT || types[0] == A_SYM || types[0] == A_DEFLONG || types[0] == A_DEFFLOAT
                   || types[0] == A_DEFSYM || types[0] == A_GIMME || types[0] == A_CANT;
        return false;
    }

} // namespace

ObjectData* dataOf (const void* x)
{
    return x != nullptr ? static_cast<ObjectData*> (static_cast<const t_object*> (x)->o_host) : nullptr;
}

ClassData* classDataOf (const t_class* c)
{
    return c != nullptr ? static_cast<ClassData*> (c->c_host) : nullptr;
}

bool isLive (const void* x)
{
    if (x == nullptr)
        return false;
    auto& r = registry();
    std::lock_guard<std::mutex> lock (r.mutex);
    return r.live.count (x) != 0;
}

bool checkLive (const void* x, const char* call)
{
    if (x == nullptr)
        return false;
    if (isLive (x))
        return true;
    postText (Severity::bug, nullptr, std::string (call) + ": not a live object");
    return false;
}

bool isKind (const void* x, Kind kind)
{
    if (! isLive (x))
        return false;
    auto* data = dataOf (x);
    return data != nullptr && data->kind == kind;
}

t_class* internalClass (Kind kind)
{
    static t_class* classes[] = { makeClass ("user", true),      makeClass ("attr", true), makeClass ("dictionary", true),
                                  makeClass ("atomarray", true), makeClass ("binbuf", true), makeClass ("clock", true),
                                  makeClass ("jbox", true),      makeClass ("dspchain", true) };
    return classes[static_cast<int> (kind)];
}

void registerObject (t_object* x, t_class* c, Kind kind)
{
    x->o_class = c;
    x->o_magic = objectMagic;
    auto* data = new ObjectData();
    data->kind = kind;
    x->o_host = data;
    auto& r = registry();
    std::lock_guard<std::mutex> lock (r.mutex);
    r.live.insert (x);
}

void unregisterObject (t_object* x)
{
    auto& r = registry();
    std::lock_guard<std::mutex> lock (r.mutex);
    r.live.erase (x);
    if (r.userObjects.erase (x) != 0)
        r.creationOrder.erase (std::remove (r.creationOrder.begin(), r.creationOrder.end(), x), r.creationOrder.end());
}

void freeObjectData (t_object* x)
{
    auto* data = dataOf (x);
    if (data == nullptr)
        return;
    for (auto* attr : data->attributes)
        freeAttribute (attr);
    data->attributes.clear();
    delete data;
    x->o_host = nullptr;
}

// Message dispatch ---------------------------------------------------------------

t_max_err dispatchMessage (t_object* x, t_symbol* s, long ac, const t_atom* av)
{
    if (x == nullptr || s == nullptr)
        return MAX_ERR_INVALID_PTR;
    if (! isLive (x))
    {
        postText (Severity::bug, nullptr, std::string ("message \"") + s->s_name + "\" sent to an object that does not exist");
        return MAX_ERR_INVALID_PTR;
    }
    if (ac < 0 || (ac > 0 && av == nullptr))
        ac = 0;

    std::vector<t_atom> args (av, av + ac);
    auto* classData = classDataOf (x->o_class);
    const Method* found = nullptr;
    if (classData != nullptr)
    {
        auto it = classData->methods.find (s);
        if (it != classData->methods.end())
            found = &it->second;
    }

    if (found == nullptr)
    {
        if (auto* attr = findAttribute (x, s))
        {
            auto* a = asAttribute (attr);
            if ((a->rec.flags & (ATTR_SET_OPAQUE | ATTR_SET_OPAQUE_USER)) != 0)
            {
                object_error (x, "attribute \"%s\" cannot be set", s->s_name);
                return MAX_ERR_GENERIC;
            }
            return setAttribute (x, attr, ac, args.data());
        }
        if (classData != nullptr)
        {
            auto it = classData->methods.find (gensym ("anything"));
            if (it != classData->methods.end() && it->second.types.size() == 1 && it->second.types[0] == A_GIMME)
            {
                typed<void (*) (t_object*, t_symbol*, long, t_atom*)> (it->second.fn) (x, s, ac, args.data());
                return MAX_ERR_NONE;
            }
        }
        object_error (x, "doesn't understand \"%s\"", s->s_name);
        return MAX_ERR_GENERIC;
    }

    const auto& types = found->types;
    auto badArguments = [&]
    {
        object_error (x, "bad arguments for message \"%s\"", s->s_name);
        return MAX_ERR_GENERIC;
    };
    auto extraArguments = [&] (long used)
    {
        if (ac > used)
            object_warn (x, "extra arguments for message \"%s\"", s->s_name);
    };
    auto isNumber = [] (const t_atom& a) { return a.a_type == A_LONG || a.a_type == A_FLOAT; };

    if (types.empty())
    {
        extraArguments (0);
        typed<void (*) (t_object*)> (found->fn) (x);
        return MAX_ERR_NONE;
    }

    switch (types[0])
    {
        case A_GIMME:
            typed<void (*) (t_object*, t_symbol*, long, t_atom*)> (found->fn) (x, s, ac, args.data());
            return MAX_ERR_NONE;
        case A_LONG:
        case A_DEFLONG:
            if (ac == 0 && types[0] == A_LONG)
                return badArguments();
            if (ac > 0 && ! isNumber (args[0]))
                return badArguments();
            extraArguments (1);
            typed<void (*) (t_object*, t_atom_long)> (found->fn) (x, ac > 0 ? atom_getlong (&args[0]) : 0);
            return MAX_ERR_NONE;
        case A_FLOAT:
        case A_DEFFLOAT:
            if (ac == 0 && types[0] == A_FLOAT)
                return badArguments();
            if (ac > 0 && ! isNumber (args[0]))
                return badArguments();
            extraArguments (1);
            typed<void (*) (t_object*, double)> (found->fn) (x, ac > 0 ? atom_getfloat (&args[0]) : 0.0);
            return MAX_ERR_NONE;
        case A_SYM:
        case A_DEFSYM:
            if (ac == 0 && types[0] == A_SYM)
                return badArguments();
            if (ac > 0 && args[0].a_type != A_SYM)
                return badArguments();
            extraArguments (1);
            typed<void (*) (t_object*, t_symbol*)> (found->fn) (x, ac > 0 ? args[0].a_w.w_sym : gensym (""));
            return MAX_ERR_NONE;
        case A_CANT:
        default:
            object_error (x, "message \"%s\" is for the host only", s->s_name);
            return MAX_ERR_GENERIC;
    }
}

void* callCantMethod (t_object* x, t_symbol* s, const Method& m, va_list args)
{
    const std::string name = s->s_name;
    if (m.types.size() == 1 && m.types[0] == A_CANT)
    {
        if (name == "dsp64")
        {
            auto* chain = va_arg (args, t_object*);
            auto* count = va_arg (args, short*);
            const double sr = va_arg (args, double);
            const long maxvs = va_arg (args, long);
            const long flags = va_arg (args, long);
            typed<void (*) (t_object*, t_object*, short*, double, long, long)> (m.fn) (x, chain, count, sr, maxvs, flags);
            return nullptr;
        }
        if (name == "assist")
        {
            auto* box = va_arg (args, void*);
            const long kind = va_arg (args, long);
            const long index = va_arg (args, long);
            auto* text = va_arg (args, char*);
            typed<void (*) (t_object*, void*, long, long, char*)> (m.fn) (x, box, kind, index, text);
            return nullptr;
        }
        if (name == "getvalueof")
        {
            auto* ac = va_arg (args, long*);
            auto* av = va_arg (args, t_atom**);
            return reinterpret_cast<void*> (typed<t_max_err (*) (t_object*, long*, t_atom**)> (m.fn) (x, ac, av));
        }
        if (name == "setvalueof")
        {
            const long ac = va_arg (args, long);
            auto* av = va_arg (args, t_atom*);
            return reinterpret_cast<void*> (typed<t_max_err (*) (t_object*, long, t_atom*)> (m.fn) (x, ac, av));
        }
        if (name == "notify")
        {
            auto* sym = va_arg (args, t_symbol*);
            auto* msg = va_arg (args, t_symbol*);
            auto* sender = va_arg (args, void*);
            auto* data = va_arg (args, void*);
            return reinterpret_cast<void*> (
                typed<t_max_err (*) (t_object*, t_symbol*, t_symbol*, void*, void*)> (m.fn) (x, sym, msg, sender, data));
        }
        if (name == "dblclick")
        {
            typed<void (*) (t_object*)> (m.fn) (x);
            return nullptr;
        }
        // Any other host-only routine takes up to four pointer-sized arguments.
        auto* a = va_arg (args, void*);
        auto* b = va_arg (args, void*);
        auto* c = va_arg (args, void*);
        auto* d = va_arg (args, void*);
        return typed<void* (*) (t_object*, void*, void*, void*, void*)> (m.fn) (x, a, b, c, d);
    }

    if (m.types.empty())
    {
        typed<void (*) (t_object*)> (m.fn) (x);
        return nullptr;
    }
    switch (m.types[0])
    {
        case A_LONG:
        case A_DEFLONG: typed<void (*) (t_object*, t_atom_long)> (m.fn) (x, va_arg (args, t_atom_long)); break;
        case A_FLOAT:
        case A_DEFFLOAT: typed<void (*) (t_object*, double)> (m.fn) (x, va_arg (args, double)); break;
        case A_SYM:
        case A_DEFSYM: typed<void (*) (t_object*, t_symbol*)> (m.fn) (x, va_arg (args, t_symbol*)); break;
        case A_GIMME:
        {
            const long ac = va_arg (args, long);
            auto* av = va_arg (args, t_atom*);
            typed<void (*) (t_object*, t_symbol*, long, t_atom*)> (m.fn) (x, s, ac, av);
            break;
        }
        default: break;
    }
    return nullptr;
}

std::vector<t_object*> liveUserObjects()
{
    auto& r = registry();
    std::lock_guard<std::mutex> lock (r.mutex);
    return r.creationOrder;
}

std::vector<const void*> liveObjects()
{
    auto& r = registry();
    std::lock_guard<std::mutex> lock (r.mutex);
    return std::vector<const void*> (r.live.begin(), r.live.end());
}

void freeAllClasses()
{
    auto& r = registry();
    std::vector<t_class*> classes;
    {
        std::lock_guard<std::mutex> lock (r.mutex);
        classes.swap (r.allClasses);
        r.classes.clear();
    }
    for (auto* c : classes)
        freeClass (c);
}

t_object* newBox()
{
    auto* box = new t_object();
    registerObject (box, internalClass (Kind::box), Kind::box);
    return box;
}
} // namespace maxhost::detail

using namespace maxhost::detail;

extern "C" {

t_class* class_new (const char* name, method mnew, method mfree, long size, method, short type, ...)
{
    if (name == nullptr || shouldFail ("class_new", name))
        return nullptr;
    va_list args;
    va_start (args, type);
    auto types = readTypes (type, args);
    va_end (args);
    if (! (types.empty() || (types.size() == 1 && types[0] == A_GIMME)))
    {
        error ("class_new: %s: the creation routine must take A_GIMME or nothing", name);
        return nullptr;
    }
    auto* c = makeClass (name, false);
    c->c_size = std::max (size, static_cast<long> (sizeof (t_object)));
    auto* data = classDataOf (c);
    data->creator = mnew;
    data->destructor = mfree;
    data->creatorTypes = types;
    auto& r = registry();
    std::lock_guard<std::mutex> lock (r.mutex);
    r.allClasses.push_back (c);
    return c;
}

t_max_err class_addmethod (t_class* c, method m, const char* name, ...)
{
    if (c == nullptr || m == nullptr || name == nullptr)
        return MAX_ERR_INVALID_PTR;
    va_list args;
    va_start (args, name);
    const short first = static_cast<short> (va_arg (args, int));
    auto types = readTypes (first, args);
    va_end (args);
    if (shouldFail ("class_addmethod", name))
        return MAX_ERR_GENERIC;
    if (! supportedSignature (types))
    {
        error ("class_addmethod: %s: this host cannot call a routine with these argument types", name);
        return MAX_ERR_GENERIC;
    }
    auto& methods = classDataOf (c)->methods;
    methods[gensym (name)] = Method { m, types };
    return MAX_ERR_NONE;
}

t_max_err class_register (t_symbol* name_space, t_class* c)
{
    if (c == nullptr)
        return MAX_ERR_INVALID_PTR;
    auto* ns = name_space != nullptr ? name_space : gensym ("box");
    auto& r = registry();
    std::lock_guard<std::mutex> lock (r.mutex);
    auto key = std::make_pair (ns, c->c_sym);
    if (r.classes.count (key) != 0 && r.classes[key] != c)
        return MAX_ERR_DUPLICATE;
    r.classes[key] = c;
    c->c_flags |= CLASS_FLAG_REGISTERED;
    classDataOf (c)->nameSpace = ns;
    return MAX_ERR_NONE;
}

t_class* class_findbyname (t_symbol* name_space, t_symbol* classname)
{
    auto& r = registry();
    std::lock_guard<std::mutex> lock (r.mutex);
    for (auto& entry : r.classes)
    {
        if (entry.first.second == classname && (name_space == nullptr || entry.first.first == name_space))
            return entry.second;
    }
    return nullptr;
}

t_symbol* class_nameget (t_class* c)
{
    return c != nullptr ? c->c_sym : nullptr;
}

void class_obexoffset_set (t_class*, long)
{
}

void* object_alloc (t_class* c)
{
    if (c == nullptr || c->c_host == nullptr)
        return nullptr;
    if (shouldFail ("object_alloc", c->c_sym->s_name))
        return nullptr;
    auto* x = static_cast<t_object*> (std::calloc (1, static_cast<size_t> (c->c_size)));
    if (x == nullptr)
        return nullptr;
    registerObject (x, c, Kind::user);
    auto& r = registry();
    std::lock_guard<std::mutex> lock (r.mutex);
    r.userObjects.insert (x);
    r.creationOrder.push_back (x);
    return x;
}

t_max_err object_free (void* p)
{
    if (p == nullptr)
        return MAX_ERR_INVALID_PTR;
    if (! isLive (p))
    {
        postText (maxhost::Severity::bug, nullptr, "object_free: not a live object (freed twice?)");
        return MAX_ERR_INVALID_PTR;
    }
    auto* x = static_cast<t_object*> (p);
    auto* data = dataOf (x);
    switch (data->kind)
    {
        case Kind::attribute: freeAttribute (x); return MAX_ERR_NONE;
        case Kind::dictionary: freeDictionary (x); return MAX_ERR_NONE;
        case Kind::atomarray: freeAtomArray (x); return MAX_ERR_NONE;
        case Kind::binbuf: freeBinbuf (x); return MAX_ERR_NONE;
        case Kind::clock: freeClock (x); return MAX_ERR_NONE;
        case Kind::box:
        case Kind::chain:
            unregisterObject (x);
            freeObjectData (x);
            delete x;
            return MAX_ERR_NONE;
        case Kind::user: break;
    }

    // Gone from the live set first, so that a second free from inside the
    // destructor is caught.
    unregisterObject (x);
    // Out of the signal chain before its destructor frees what perform uses.
    dspObjectFreed (x);
    if (auto* classData = classDataOf (x->o_class); classData != nullptr && classData->destructor != nullptr)
        typed<void (*) (t_object*)> (classData->destructor) (x);
    cancelMainWork (x);
    freeOutlets (x);
    if (data->box != nullptr && isLive (data->box))
        object_free (data->box);
    freeObjectData (x);
    std::free (x);
    return MAX_ERR_NONE;
}

void* object_new_typed (t_symbol* name_space, t_symbol* classname, long ac, t_atom* av)
{
    if (classname == nullptr)
        return nullptr;
    auto* c = class_findbyname (name_space, classname);
    if (c == nullptr)
        c = class_findbyname (nullptr, classname);
    if (c == nullptr)
    {
        error ("%s: no such object", classname->s_name);
        return nullptr;
    }
    if (shouldFail ("object_new", classname->s_name))
        return nullptr;
    if (ac < 0 || (ac > 0 && av == nullptr))
        ac = 0;

    auto* classData = classDataOf (c);
    std::vector<t_atom> args (av, av + ac);
    t_dictionary* dictionary = nullptr;
    if ((c->c_flags & CLASS_FLAG_NEWDICTIONARY) != 0)
    {
        // Every attribute's default, then the box's own "@name values" on top.
        dictionary = dictionary_new();
        for (auto* attr : classData->attributes)
        {
            long n = 0;
            t_atom* values = nullptr;
            if (object_attr_getvalueof (attr, gensym ("default"), &n, &values) == MAX_ERR_NONE && n > 0)
            {
                if (n == 1)
                    dictionary_appendatom (dictionary, asAttribute (attr)->rec.name, values);
                else
                    dictionary_appendatoms (dictionary, asAttribute (attr)->rec.name, n, values);
            }
            sysmem_freeptr (values);
        }
        const long plain = attr_args_offset (static_cast<short> (std::min<long> (ac, 32767)), args.data());
        for (long i = plain; i < ac;)
        {
            auto* name = gensym (atom_getsym (&args[i])->s_name + 1);
            long j = i + 1;
            while (j < ac && ! isAttributeKey (args[j]))
                ++j;
            if (j - i - 1 == 1)
                dictionary_appendatom (dictionary, name, &args[i + 1]);
            else if (j - i - 1 > 1)
                dictionary_appendatoms (dictionary, name, j - i - 1, &args[i + 1]);
            i = j;
        }
        args.resize (static_cast<size_t> (plain));
        t_atom dictionaryAtom;
        atom_setobj (&dictionaryAtom, dictionary);
        args.push_back (dictionaryAtom);
    }

    auto* box = newBox();
    auto* boxSymbol = gensym ("#B");
    auto* previous = boxSymbol->s_thing;
    boxSymbol->s_thing = box;
    void* x = nullptr;
    if (classData->creator != nullptr)
    {
        if (classData->creatorTypes.empty())
            x = typed<void* (*) ()> (classData->creator)();
        else
            x = typed<void* (*) (t_symbol*, long, t_atom*)> (classData->creator) (classname, static_cast<long> (args.size()),
                                                                                              args.data());
    }
    boxSymbol->s_thing = previous;

    if (dictionary != nullptr)
        object_free (dictionary);
    if (x == nullptr || ! isLive (x))
    {
        object_free (box);
        return nullptr;
    }
    dataOf (x)->box = box;
    return x;
}

t_symbol* object_classname (void* x)
{
    return x != nullptr && static_cast<t_object*> (x)->o_class != nullptr ? static_cast<t_object*> (x)->o_class->c_sym : nullptr;
}

t_class* object_class (void* x)
{
    return x != nullptr ? static_cast<t_object*> (x)->o_class : nullptr;
}

method object_getmethod (void* x, t_symbol* s)
{
    auto* data = x != nullptr ? classDataOf (static_cast<t_object*> (x)->o_class) : nullptr;
    if (data == nullptr)
        return nullptr;
    auto it = data->methods.find (s);
    return it != data->methods.end() ? it->second.fn : nullptr;
}

void* object_method (void* p, t_symbol* s, ...)
{
    if (s == nullptr || ! checkLive (p, "object_method"))
        return nullptr;
    auto* x = static_cast<t_object*> (p);
    auto* data = dataOf (x);
    if (data == nullptr)
        return nullptr;
    va_list args;
    va_start (args, s);
    void* result = nullptr;

    if (data->kind == Kind::attribute)
    {
        auto* a = asAttribute (x);
        const std::string name = s->s_name;
        if (name == "gettype")
            result = a->rec.type;
        else if (name == "getname")
            result = a->rec.name;
        else if (name == "getflags")
            result = reinterpret_cast<void*> (a->rec.flags);
        else if (name == "setflags")
            a->rec.flags = va_arg (args, long);
        else if (name == "setmethod")
        {
            auto* which = va_arg (args, t_symbol*);
            auto fn = va_arg (args, method);
            if (which == gensym ("get"))
                a->rec.get = fn;
            else if (which == gensym ("set"))
                a->rec.set = fn;
        }
        va_end (args);
        return result;
    }
    if (data->kind == Kind::chain)
    {
        if (s == gensym ("dsp_add64"))
        {
            auto* target = va_arg (args, t_object*);
            auto perform = va_arg (args, t_perfroutine64);
            const long flags = va_arg (args, long);
            auto* user = va_arg (args, void*);
            addToChain (x, target, perform, flags, user);
        }
        va_end (args);
        return nullptr;
    }

    auto* classData = classDataOf (x->o_class);
    if (classData != nullptr)
    {
        auto it = classData->methods.find (s);
        if (it != classData->methods.end())
            result = callCantMethod (x, s, it->second, args);
    }
    va_end (args);
    return result;
}

t_max_err object_method_typed (void* x, t_symbol* s, long ac, t_atom* av, t_atom* rv)
{
    if (rv != nullptr)
        rv->a_type = A_NOTHING;
    return dispatchMessage (static_cast<t_object*> (x), s, ac, av);
}

void* typedmess (t_object* x, t_symbol* s, short ac, t_atom* av)
{
    dispatchMessage (x, s, ac, av);
    return nullptr;
}

t_max_err object_notify (void* x, t_symbol* s, void*)
{
    if (x == nullptr || ! isLive (x))
        return MAX_ERR_INVALID_PTR;
    recordNotification (static_cast<t_object*> (x), s);
    return MAX_ERR_NONE;
}

t_max_err object_obex_store (void* x, t_symbol* key, t_object* val)
{
    auto* data = checkLive (x, "object_obex_store") ? dataOf (x) : nullptr;
    if (data == nullptr || key == nullptr)
        return MAX_ERR_INVALID_PTR;
    data->obex[key] = val;
    return MAX_ERR_NONE;
}

t_max_err object_obex_lookup (void* x, t_symbol* key, t_object** val)
{
    auto* data = checkLive (x, "object_obex_lookup") ? dataOf (x) : nullptr;
    if (data == nullptr || key == nullptr || val == nullptr)
        return MAX_ERR_INVALID_PTR;
    auto it = data->obex.find (key);
    if (it == data->obex.end())
    {
        *val = nullptr;
        return MAX_ERR_GENERIC;
    }
    *val = it->second;
    return MAX_ERR_NONE;
}

void object_obex_dumpout (void* x, t_symbol* s, long argc, t_atom* argv)
{
    t_object* outlet = nullptr;
    if (object_obex_lookup (x, gensym ("dumpout"), &outlet) == MAX_ERR_NONE && outlet != nullptr)
        outlet_anything (outlet, s, static_cast<short> (std::clamp (argc, 0L, 32767L)), argv);
}

} // extern "C"

namespace maxhost
{
t_object* newObject (const std::string& className, const std::vector<t_atom>& args)
{
    auto copy = args;
    return static_cast<t_object*> (object_new_typed (CLASS_BOX, gensym (className.c_str()), static_cast<long> (copy.size()), copy.data()));
}

t_object* newObject (const std::string& className, const std::string& argText)
{
    return newObject (className, parseAtoms (argText));
}

t_object* boxOf (t_object* x)
{
    auto* data = detail::dataOf (x);
    return data != nullptr ? data->box : nullptr;
}

void send (t_object* x, const std::string& selector, const std::vector<t_atom>& args)
{
    auto copy = args;
    detail::dispatchMessage (x, gensym (selector.c_str()), static_cast<long> (copy.size()), copy.data());
}

void sendFromScheduler (t_object* x, const std::string& selector, const std::vector<t_atom>& args)
{
    runOnScheduler ([&] { send (x, selector, args); });
}

int outletCount (t_object* x)
{
    auto* data = detail::dataOf (x);
    return data != nullptr ? static_cast<int> (data->outlets.size()) : 0;
}

bool outletIsSignal (t_object* x, int outlet)
{
    auto* data = detail::dataOf (x);
    if (data == nullptr || outlet < 1 || outlet > static_cast<int> (data->outlets.size()))
        return false;
    return data->outlets[static_cast<size_t> (outlet - 1)]->signal;
}

int signalInletCount (t_object* x)
{
    auto* data = detail::dataOf (x);
    return data != nullptr ? data->signalInlets : 0;
}

std::string assist (t_object* x, long kind, long index)
{
    char text[512] = {};
    object_method (x, gensym ("assist"), static_cast<void*> (nullptr), kind, index, text);
    return text;
}

std::map<std::string, std::vector<short>> classMessages (const t_class* c)
{
    std::map<std::string, std::vector<short>> messages;
    if (auto* data = detail::classDataOf (c))
        for (const auto& [name, registration] : data->methods)
            messages.emplace (name->s_name, registration.types);
    return messages;
}
} // namespace maxhost
