// A small object class of the family, built on the glue, for the glue's and
// the documentation's tests.
#pragma once

#include "ext.h"
#include "ext_dictobj.h"
#include "ext_obex.h"
#include "maxhost_test.h"
#include "z_dsp.h"

#include "maxglue/ObjectPorts.h"
#include "maxglue/StandardMethods.h"
#include "text/StringArray.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace gluetest
{
struct Probe
{
    t_oskelmax_object ob;
    t_atom_long count;      // "count": long, default 3, "dontreset" 1, order 3
    float gain;             // "gain": float32, default 0, label, order 1
    double colour[4];       // "colour": 4 float64, default "0. 0.5 0. 1."
    t_symbol* mode;         // "mode": symbol, enumvals "peak rms", default "peak"
    t_atom_long box[14];    // the 14 box attributes ("annotation" .. "varname"), longs without a default
    t_atom_long ghost;      // "ghost": invisible
    t_atom_long secret;     // "secret": opaque to the user
    t_atom_long steps;      // "steps": long without a default, order 7
    t_symbol* title;        // "title": symbol, default "untitled"
    int opens, closes;
};

constexpr const char* className = "glue.probe~";

t_class* registerProbeClass();
t_class* probeClass();
/** A class of the family without documentation attributes, not yet registered. */
t_class* bareClass (const char* name);

using Texts = std::vector<std::string>;

class GlueTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    /** A new probe, kept as `probe` and `x` too; the recordings are cleared. */
    Probe* makeProbe (const std::string& args = {});
    static t_object* asObject (Probe* p) { return &p->ob.header.z_ob; }

    Texts texts (maxhost::Severity severity) const;
    Texts posts() const { return texts (maxhost::Severity::post); }
    Texts warnings() const { return texts (maxhost::Severity::warn); }
    Texts errors() const { return texts (maxhost::Severity::error); }
    Texts bugs() const { return texts (maxhost::Severity::bug); }
    /** What the probe sent through its dump outlet. */
    std::vector<maxhost::OutletEvent> dumpEvents() const;
    /** The same, each as its selector, a blank and the text of its atoms. */
    Texts dumped() const;

    Probe* probe = nullptr;
    t_object* x = nullptr;
};

t_atom atomLong (t_atom_long v);
t_atom atomFloat (double v);
t_atom atomSym (const char* s);
std::string text (const std::vector<t_atom>& atoms);
/** The state as pattr asks for it. */
std::vector<t_atom> getValueOf (t_object* x);
std::string readFile (const std::string& path);
kul::StringArray names (std::initializer_list<const char*> list);

/** A fresh folder under the system's temporary folder, removed by the destructor. */
struct TemporaryFolder
{
    TemporaryFolder();
    ~TemporaryFolder();
    const std::string& path() const { return folder; }
    std::string folder;
};
} // namespace gluetest
