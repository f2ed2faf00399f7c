// Atom arrays, dictionaries with ordered keys, the registry of named
// dictionaries, and binbufs.
#include "Host.h"

#include <algorithm>

struct _atomarray
{
    t_object ob;
    std::vector<t_atom> atoms;
};

struct _dictionary
{
    struct Entry
    {
        t_symbol* key;
        std::vector<t_atom> atoms;   // one atom, or one object atom the dictionary owns
        bool ownsObject;
    };

    t_object ob;
    std::vector<Entry> entries;
    int references = 1;
    t_symbol* registeredName = nullptr;
};

struct _binbuf
{
    t_object ob;
    std::vector<t_atom> atoms;
};

namespace maxhost::detail
{
namespace
{
    // The mutex also guards every dictionary's name and reference count: a
    // name is found and retained on one thread while another releases it.
    struct DictionaryRegistry
    {
        std::mutex mutex;
        std::map<t_symbol*, t_dictionary*> named;
    };

    DictionaryRegistry& dictionaryRegistry()
    {
        static auto* r = new DictionaryRegistry();
        return *r;
    }

    void releaseEntry (_dictionary::Entry& entry)
    {
        if (entry.ownsObject && ! entry.atoms.empty())
        {
            auto* object = entry.atoms[0].a_w.w_obj;
            if (isLive (object))
                object_free (object);
        }
        entry.atoms.clear();
        entry.ownsObject = false;
    }

    _dictionary::Entry* findEntry (const t_dictionary* d, t_symbol* key)
    {
        if (d == nullptr)
            return nullptr;
        auto& entries = const_cast<t_dictionary*> (d)->entries;
        auto it = std::find_if (entries.begin(), entries.end(), [key] (const _dictionary::Entry& e) { return e.key == key; });
        return it != entries.end() ? &*it : nullptr;
    }

    // Replacing a key keeps its place and frees its old value.
    t_max_err store (t_dictionary* d, t_symbol* key, std::vector<t_atom> atoms, bool ownsObject)
    {
        if (d == nullptr || key == nullptr)
            return MAX_ERR_INVALID_PTR;
        if (auto* entry = findEntry (d, key))
        {
            releaseEntry (*entry);
            entry->atoms = std::move (atoms);
            entry->ownsObject = ownsObject;
            return MAX_ERR_NONE;
        }
        d->entries.push_back ({ key, std::move (atoms), ownsObject });
        return MAX_ERR_NONE;
    }

    t_max_err storeObject (t_dictionary* d, t_symbol* key, t_object* value)
    {
        t_atom atom;
        atom_setobj (&atom, value);
        return store (d, key, { atom }, true);
    }

    // The keys in their order, in an array the caller frees; a fault fails
    // the call for a dictionary registered under the fault's name.
    t_max_err copyKeys (const char* call, const t_dictionary* d, long* numkeys, t_symbol*** keys)
    {
        if (d == nullptr || numkeys == nullptr || keys == nullptr)
            return MAX_ERR_INVALID_PTR;
        *numkeys = 0;
        *keys = nullptr;
        auto* name = dictobj_namefromptr (const_cast<t_dictionary*> (d));
        if (shouldFail (call, name != nullptr ? name->s_name : ""))
            return MAX_ERR_OUT_OF_MEM;
        if (d->entries.empty())
            return MAX_ERR_NONE;
        *keys = reinterpret_cast<t_symbol**> (sysmem_newptr (static_cast<long> (d->entries.size() * sizeof (t_symbol*))));
        if (*keys == nullptr)
            return MAX_ERR_OUT_OF_MEM;
        for (size_t i = 0; i < d->entries.size(); ++i)
            (*keys)[i] = d->entries[i].key;
        *numkeys = static_cast<long> (d->entries.size());
        return MAX_ERR_NONE;
    }

    void unregisterNameLocked (t_dictionary* d)
    {
        if (d->registeredName == nullptr)
            return;
        auto& named = dictionaryRegistry().named;
        auto it = named.find (d->registeredName);
        if (it != named.end() && it->second == d)
            named.erase (it);
        d->registeredName = nullptr;
    }

    void unregisterName (t_dictionary* d)
    {
        std::lock_guard<std::mutex> lock (dictionaryRegistry().mutex);
        unregisterNameLocked (d);
    }
} // namespace

void freeDictionary (t_object* object)
{
    auto* d = reinterpret_cast<t_dictionary*> (object);
    unregisterName (d);
    unregisterObject (object);
    for (auto& entry : d->entries)
        releaseEntry (entry);
    freeObjectData (object);
    delete d;
}

void freeAtomArray (t_object* object)
{
    unregisterObject (object);
    freeObjectData (object);
    delete reinterpret_cast<t_atomarray*> (object);
}

void freeBinbuf (t_object* object)
{
    unregisterObject (object);
    freeObjectData (object);
    delete reinterpret_cast<t_binbuf*> (object);
}

void resetDictionaryRegistry()
{
    auto& r = dictionaryRegistry();
    std::lock_guard<std::mutex> lock (r.mutex);
    r.named.clear();
}
} // namespace maxhost::detail

using namespace maxhost::detail;

extern "C" {

// Atom arrays -------------------------------------------------------------------

t_atomarray* atomarray_new (long ac, t_atom* av)
{
    auto* a = new t_atomarray();
    if (ac > 0 && av != nullptr)
        a->atoms.assign (av, av + ac);
    registerObject (&a->ob, internalClass (Kind::atomarray), Kind::atomarray);
    return a;
}

t_atom_long atomarray_getsize (t_atomarray* x)
{
    return x != nullptr ? static_cast<t_atom_long> (x->atoms.size()) : 0;
}

t_max_err atomarray_getatoms (t_atomarray* x, long* ac, t_atom** av)
{
    if (x == nullptr || ac == nullptr || av == nullptr)
        return MAX_ERR_INVALID_PTR;
    *ac = static_cast<long> (x->atoms.size());
    *av = x->atoms.empty() ? nullptr : x->atoms.data();
    return MAX_ERR_NONE;
}

t_max_err atomarray_copyatoms (t_atomarray* x, long* ac, t_atom** av)
{
    if (x == nullptr || ac == nullptr || av == nullptr)
        return MAX_ERR_INVALID_PTR;
    *ac = 0;
    *av = nullptr;
    if (x->atoms.empty())
        return MAX_ERR_NONE;
    *av = reinterpret_cast<t_atom*> (sysmem_newptr (static_cast<long> (x->atoms.size() * sizeof (t_atom))));
    if (*av == nullptr)
        return MAX_ERR_OUT_OF_MEM;
    std::copy (x->atoms.begin(), x->atoms.end(), *av);
    *ac = static_cast<long> (x->atoms.size());
    return MAX_ERR_NONE;
}

t_max_err atomarray_getindex (t_atomarray* x, long index, t_atom* av)
{
    if (x == nullptr || av == nullptr)
        return MAX_ERR_INVALID_PTR;
    if (index < 0 || index >= static_cast<long> (x->atoms.size()))
        return MAX_ERR_GENERIC;
    *av = x->atoms[static_cast<size_t> (index)];
    return MAX_ERR_NONE;
}

t_max_err atomarray_setatoms (t_atomarray* x, long ac, t_atom* av)
{
    if (x == nullptr)
        return MAX_ERR_INVALID_PTR;
    x->atoms.clear();
    if (ac > 0 && av != nullptr)
        x->atoms.assign (av, av + ac);
    return MAX_ERR_NONE;
}

void atomarray_appendatom (t_atomarray* x, t_atom* a)
{
    if (x != nullptr && a != nullptr)
        x->atoms.push_back (*a);
}

void atomarray_appendatoms (t_atomarray* x, long ac, t_atom* av)
{
    if (x != nullptr && ac > 0 && av != nullptr)
        x->atoms.insert (x->atoms.end(), av, av + ac);
}

void atomarray_clear (t_atomarray* x)
{
    if (x != nullptr)
        x->atoms.clear();
}

t_atomarray* atomarray_duplicate (t_atomarray* x)
{
    if (x == nullptr)
        return nullptr;
    return atomarray_new (static_cast<long> (x->atoms.size()), x->atoms.data());
}

// Dictionaries ----------------------------------------------------------------

t_dictionary* dictionary_new()
{
    if (shouldFail ("dictionary_new", ""))
        return nullptr;
    auto* d = new t_dictionary();
    registerObject (&d->ob, internalClass (Kind::dictionary), Kind::dictionary);
    return d;
}

t_max_err dictionary_appendlong (t_dictionary* d, t_symbol* key, t_atom_long value)
{
    t_atom atom;
    atom_setlong (&atom, value);
    return store (d, key, { atom }, false);
}

t_max_err dictionary_appendfloat (t_dictionary* d, t_symbol* key, double value)
{
    t_atom atom;
    atom_setfloat (&atom, value);
    return store (d, key, { atom }, false);
}

t_max_err dictionary_appendsym (t_dictionary* d, t_symbol* key, t_symbol* value)
{
    t_atom atom;
    atom_setsym (&atom, value);
    return store (d, key, { atom }, false);
}

t_max_err dictionary_appendatom (t_dictionary* d, t_symbol* key, t_atom* value)
{
    if (value == nullptr)
        return MAX_ERR_INVALID_PTR;
    return store (d, key, { *value }, false);
}

t_max_err dictionary_appendatoms (t_dictionary* d, t_symbol* key, long argc, t_atom* argv)
{
    if (d == nullptr || key == nullptr)
        return MAX_ERR_INVALID_PTR;
    return storeObject (d, key, &atomarray_new (argc, argv)->ob);
}

t_max_err dictionary_appendatomarray (t_dictionary* d, t_symbol* key, t_object* value)
{
    return storeObject (d, key, value);
}

t_max_err dictionary_appenddictionary (t_dictionary* d, t_symbol* key, t_object* value)
{
    return storeObject (d, key, value);
}

t_max_err dictionary_appendobject (t_dictionary* d, t_symbol* key, t_object* value)
{
    return storeObject (d, key, value);
}

t_max_err dictionary_appendstring (t_dictionary* d, t_symbol* key, const char* value)
{
    return dictionary_appendsym (d, key, gensym (value));
}

t_max_err dictionary_getatom (const t_dictionary* d, t_symbol* key, t_atom* value)
{
    auto* entry = findEntry (d, key);
    if (entry == nullptr || value == nullptr || entry->atoms.empty() || shouldFail ("dictionary_getatom", key->s_name))
        return MAX_ERR_GENERIC;
    *value = entry->atoms[0];
    return MAX_ERR_NONE;
}

t_max_err dictionary_getlong (const t_dictionary* d, t_symbol* key, t_atom_long* value)
{
    t_atom atom;
    if (value == nullptr || dictionary_getatom (d, key, &atom) != MAX_ERR_NONE)
        return MAX_ERR_GENERIC;
    if (atom.a_type != A_LONG && atom.a_type != A_FLOAT)
        return MAX_ERR_GENERIC;
    *value = atom_getlong (&atom);
    return MAX_ERR_NONE;
}

t_max_err dictionary_getfloat (const t_dictionary* d, t_symbol* key, double* value)
{
    t_atom atom;
    if (value == nullptr || dictionary_getatom (d, key, &atom) != MAX_ERR_NONE)
        return MAX_ERR_GENERIC;
    if (atom.a_type != A_LONG && atom.a_type != A_FLOAT)
        return MAX_ERR_GENERIC;
    *value = atom_getfloat (&atom);
    return MAX_ERR_NONE;
}

t_max_err dictionary_getsym (const t_dictionary* d, t_symbol* key, t_symbol** value)
{
    t_atom atom;
    if (value == nullptr || dictionary_getatom (d, key, &atom) != MAX_ERR_NONE || atom.a_type != A_SYM)
        return MAX_ERR_GENERIC;
    *value = atom.a_w.w_sym;
    return MAX_ERR_NONE;
}

t_max_err dictionary_getatoms (const t_dictionary* d, t_symbol* key, long* argc, t_atom** argv)
{
    auto* entry = findEntry (d, key);
    if (argc == nullptr || argv == nullptr)
        return MAX_ERR_INVALID_PTR;
    if (entry == nullptr || entry->atoms.empty())
        return MAX_ERR_GENERIC;
    if (entry->ownsObject && isKind (entry->atoms[0].a_w.w_obj, Kind::atomarray))
        return atomarray_getatoms (reinterpret_cast<t_atomarray*> (entry->atoms[0].a_w.w_obj), argc, argv);
    *argc = static_cast<long> (entry->atoms.size());
    *argv = entry->atoms.data();
    return MAX_ERR_NONE;
}

t_max_err dictionary_getobject (const t_dictionary* d, t_symbol* key, t_object** value)
{
    auto* entry = findEntry (d, key);
    if (entry == nullptr || value == nullptr || entry->atoms.empty() || entry->atoms[0].a_type != A_OBJ)
        return MAX_ERR_GENERIC;
    *value = entry->atoms[0].a_w.w_obj;
    return MAX_ERR_NONE;
}

t_max_err dictionary_getdictionary (const t_dictionary* d, t_symbol* key, t_object** value)
{
    t_object* object = nullptr;
    if (dictionary_getobject (d, key, &object) != MAX_ERR_NONE || ! isKind (object, Kind::dictionary))
        return MAX_ERR_GENERIC;
    *value = object;
    return MAX_ERR_NONE;
}

long dictionary_hasentry (const t_dictionary* d, t_symbol* key)
{
    return findEntry (d, key) != nullptr ? 1 : 0;
}

t_atom_long dictionary_getentrycount (const t_dictionary* d)
{
    return d != nullptr ? static_cast<t_atom_long> (d->entries.size()) : 0;
}

t_max_err dictionary_getkeys_ordered (const t_dictionary* d, long* numkeys, t_symbol*** keys)
{
    return copyKeys ("dictionary_getkeys_ordered", d, numkeys, keys);
}

t_max_err dictionary_getkeys (const t_dictionary* d, long* numkeys, t_symbol*** keys)
{
    return copyKeys ("dictionary_getkeys", d, numkeys, keys);
}

void dictionary_freekeys (t_dictionary*, long, t_symbol** keys)
{
    sysmem_freeptr (keys);
}

t_max_err dictionary_deleteentry (t_dictionary* d, t_symbol* key)
{
    auto* entry = findEntry (d, key);
    if (entry == nullptr)
        return MAX_ERR_GENERIC;
    releaseEntry (*entry);
    d->entries.erase (d->entries.begin() + (entry - d->entries.data()));
    return MAX_ERR_NONE;
}

t_max_err dictionary_chuckentry (t_dictionary* d, t_symbol* key)
{
    auto* entry = findEntry (d, key);
    if (entry == nullptr)
        return MAX_ERR_GENERIC;
    d->entries.erase (d->entries.begin() + (entry - d->entries.data()));
    return MAX_ERR_NONE;
}

t_max_err dictionary_clear (t_dictionary* d)
{
    if (d == nullptr)
        return MAX_ERR_INVALID_PTR;
    for (auto& entry : d->entries)
        releaseEntry (entry);
    d->entries.clear();
    return MAX_ERR_NONE;
}

long atomisatomarray (const t_atom* a)
{
    return a != nullptr && a->a_type == A_OBJ && isKind (a->a_w.w_obj, Kind::atomarray) ? 1 : 0;
}

long atomisdictionary (const t_atom* a)
{
    return a != nullptr && a->a_type == A_OBJ && isKind (a->a_w.w_obj, Kind::dictionary) ? 1 : 0;
}

// Named dictionaries --------------------------------------------------------------

t_dictionary* dictobj_register (t_dictionary* d, t_symbol** name)
{
    if (d == nullptr || shouldFail ("dictobj_register", name != nullptr && *name != nullptr ? (*name)->s_name : ""))
        return nullptr;
    auto& r = dictionaryRegistry();
    std::lock_guard<std::mutex> lock (r.mutex);
    unregisterNameLocked (d);
    t_symbol* chosen = name != nullptr ? *name : nullptr;
    if (chosen == nullptr || chosen->s_name[0] == '\0' || (r.named.count (chosen) != 0 && r.named[chosen] != d))
    {
        do
            chosen = symbol_unique();
        while (r.named.count (chosen) != 0);
    }
    r.named[chosen] = d;
    d->registeredName = chosen;
    if (name != nullptr)
        *name = chosen;
    return d;
}

t_max_err dictobj_unregister (t_dictionary* d)
{
    if (d == nullptr)
        return MAX_ERR_INVALID_PTR;
    unregisterName (d);
    return MAX_ERR_NONE;
}

t_dictionary* dictobj_findregistered_retain (t_symbol* name)
{
    auto& r = dictionaryRegistry();
    std::lock_guard<std::mutex> lock (r.mutex);
    auto it = r.named.find (name);
    if (it == r.named.end())
        return nullptr;
    ++it->second->references;
    return it->second;
}

t_max_err dictobj_release (t_dictionary* d)
{
    if (d == nullptr || ! isKind (d, Kind::dictionary))
        return MAX_ERR_INVALID_PTR;
    bool last = false;
    {
        std::lock_guard<std::mutex> lock (dictionaryRegistry().mutex);
        // The last reference takes the name with it under the same lock, so
        // that no other thread can find and retain a dictionary being freed.
        last = --d->references <= 0;
        if (last)
            unregisterNameLocked (d);
    }
    if (last)
        object_free (d);
    return MAX_ERR_NONE;
}

t_symbol* dictobj_namefromptr (t_dictionary* d)
{
    if (d == nullptr)
        return nullptr;
    std::lock_guard<std::mutex> lock (dictionaryRegistry().mutex);
    return d->registeredName;
}

// Binbufs ---------------------------------------------------------------------------

t_binbuf* binbuf_new()
{
    auto* b = new t_binbuf();
    registerObject (&b->ob, internalClass (Kind::binbuf), Kind::binbuf);
    return b;
}

void binbuf_insert (t_binbuf* b, t_symbol* s, short argc, t_atom* argv)
{
    if (b == nullptr)
        return;
    if (s != nullptr)
    {
        t_atom selector;
        atom_setsym (&selector, s);
        b->atoms.push_back (selector);
    }
    if (argc > 0 && argv != nullptr)
        b->atoms.insert (b->atoms.end(), argv, argv + argc);
    t_atom semicolon {};
    semicolon.a_type = A_SEMI;
    b->atoms.push_back (semicolon);
}

t_max_err binbuf_text (t_binbuf* b, char** text, long size)
{
    if (b == nullptr || text == nullptr || *text == nullptr)
        return MAX_ERR_INVALID_PTR;
    auto atoms = maxhost::parseAtoms (std::string (*text, static_cast<size_t> (std::max (size, 0L))).c_str());
    b->atoms.insert (b->atoms.end(), atoms.begin(), atoms.end());
    return MAX_ERR_NONE;
}

t_max_err binbuf_getatoms (t_binbuf* b, long* ac, t_atom** av)
{
    if (b == nullptr || ac == nullptr || av == nullptr)
        return MAX_ERR_INVALID_PTR;
    *ac = static_cast<long> (b->atoms.size());
    *av = b->atoms.empty() ? nullptr : b->atoms.data();
    return MAX_ERR_NONE;
}

t_max_err binbuf_eval_messages (t_binbuf* b)
{
    if (b == nullptr)
        return MAX_ERR_INVALID_PTR;
    const auto atoms = b->atoms;   // a receiver may change the binbuf
    size_t start = 0;
    while (start < atoms.size())
    {
        size_t end = start;
        while (end < atoms.size() && atoms[end].a_type != A_SEMI)
            ++end;
        if (end - start >= 3 && atoms[start].a_type == A_OBJ && atoms[start + 2].a_type == A_SYM && isLive (atoms[start].a_w.w_obj))
        {
            std::vector<t_atom> args (atoms.begin() + static_cast<long> (start + 3), atoms.begin() + static_cast<long> (end));
            dispatchMessage (atoms[start].a_w.w_obj, atoms[start + 2].a_w.w_sym, static_cast<long> (args.size()), args.data());
        }
        start = end + 1;
    }
    return MAX_ERR_NONE;
}

} // extern "C"
