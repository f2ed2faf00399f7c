#include "common/Exception.h"
#include "math/Vector.h"

#include <gtest/gtest.h>

#include <complex>
#include <stdexcept>
#include <string>
#include <vector>

namespace kultest
{
enum class Failure
{
    none,
    badAlloc,
    runtimeError,
    integer
};

/** Fails, as armed, when value-initialised or copied; moving never fails, so a
    vector that reallocates keeps its content. */
struct Fragile
{
    static inline Failure onCreate = Failure::none;
    static inline Failure onCopy = Failure::none;

    int value = 0;

    Fragile() { fail (onCreate); }
    explicit Fragile (int v) : value (v) {}
    Fragile (const Fragile& other) : value (other.value) { fail (onCopy); }
    Fragile (Fragile&& other) noexcept : value (other.value) {}
    Fragile& operator= (const Fragile&) = default;
    Fragile& operator= (Fragile&&) = default;

    static void fail (Failure failure)
    {
        switch (failure)
        {
            case Failure::badAlloc: throw std::bad_alloc();
            case Failure::runtimeError: throw std::runtime_error ("boom");
            case Failure::integer: throw 42;
            case Failure::none: break;
        }
    }
};

// Not static and never inlined: the growth-failure messages name these callers
// through the dynamic symbol table.
[[gnu::noipa]] size_t growFragileVector (kul::Vector<Fragile>& vector, size_t size)
{
    vector.Resize (size);
    return vector.Size();
}

[[gnu::noipa]] size_t appendFragile (kul::Vector<Fragile>& vector, const Fragile& element)
{
    vector.PushBack (element);
    return vector.Size();
}

[[gnu::noipa]] size_t assignFragileVector (kul::Vector<Fragile>& target, const kul::Vector<Fragile>& source)
{
    target = source;
    return target.Size();
}
} // namespace kultest

namespace
{
using kultest::Failure;
using kultest::Fragile;

std::vector<std::string> reports;

void captureReport (const std::string& text)
{
    reports.push_back (text);
}

kul::Vector<Fragile> fragileVector (std::initializer_list<int> values)
{
    kul::Vector<Fragile> vector;
    for (auto value : values)
        vector.PushBack (Fragile (value));
    return vector;
}

std::vector<int> valuesOf (const kul::Vector<Fragile>& vector)
{
    std::vector<int> values;
    for (const auto& element : vector)
        values.push_back (element.value);
    return values;
}

template <typename T>
std::vector<T> elementsOf (const kul::Vector<T>& vector)
{
    return { vector.begin(), vector.end() };
}

class VectorGrowthFailure : public ::testing::Test
{
protected:
    void SetUp() override
    {
        reports.clear();
        previousSink = kul::SetReportSink (captureReport);
    }

    void TearDown() override
    {
        Fragile::onCreate = Failure::none;
        Fragile::onCopy = Failure::none;
        kul::SetReportSink (previousSink);
    }

    kul::ReportSink previousSink = nullptr;
};

struct TranslationCase
{
    Failure failure;
    const char* resizeMessage;
    const char* pushBackMessage;
    long pushBackLine;
};

const TranslationCase translationCases[] = {
    { Failure::badAlloc, "out of memory occured in ", "out of memory occured", 1753 },
    { Failure::runtimeError, "exception boom occured in ", "exception boom occured", 1759 },
    { Failure::integer, "unknown exception occured in ", "unknown exception", 1763 },
};
} // namespace

TEST (Vector, ResizingToTheSameOrASmallerSizeKeepsTheStorage)
{
    kul::Vector<float> vector;
    vector.Resize (5);
    const auto* storage = vector.GetData();

    vector.Resize (5);
    EXPECT_EQ (vector.GetData(), storage);
    vector.Resize (2);
    EXPECT_EQ (vector.GetData(), storage);
    vector.Resize (5);
    EXPECT_EQ (vector.GetData(), storage);

    vector.Resize (0);
    EXPECT_TRUE (vector.IsEmpty());
}

TEST (Vector, GrowingKeepsValuesAndValueInitialisesNewElements)
{
    kul::Vector<float> floats;
    floats.PushBack (1.5f);
    floats.PushBack (-2.0f);
    floats.Resize (5);
    EXPECT_EQ (elementsOf (floats), (std::vector<float> { 1.5f, -2.0f, 0.0f, 0.0f, 0.0f }));

    EXPECT_EQ (elementsOf (kul::Vector<std::complex<double>> (2)), std::vector<std::complex<double>> (2));
    EXPECT_EQ (elementsOf (kul::Vector<float*> (3)), std::vector<float*> (3, nullptr));
    EXPECT_EQ (elementsOf (kul::Vector<short> (4)), std::vector<short> (4, 0));
}

TEST (Vector, CopiesAreElementByElementAndIndependent)
{
    kul::Vector<std::string> original;
    original.PushBack ("a text too long for the small-string buffer of the library");
    original.PushBack ("b");

    kul::Vector<std::string> copy (original);
    copy[0] = "changed";
    EXPECT_EQ (original[0], "a text too long for the small-string buffer of the library");

    kul::Vector<std::string> assigned;
    assigned.Resize (7);
    assigned = original;
    ASSERT_EQ (assigned.Size(), 2u);
    EXPECT_EQ (assigned[1], "b");

    const auto* storage = assigned.GetData();
    auto& sameObject = assigned;
    assigned = sameObject;
    EXPECT_EQ (assigned.GetData(), storage);
    EXPECT_EQ (assigned[0], original[0]);

    assigned = kul::Vector<std::string>();
    EXPECT_TRUE (assigned.IsEmpty());
}

TEST (Vector, DistinctValuesKeepTheOrderOfFirstAppearance)
{
    kul::Vector<int> values;
    for (int value : { 3, 1, 3, 2, 1, 2 })
        values.PushBack (value);

    EXPECT_EQ (elementsOf (kul::GetDistinctValues (values)), (std::vector<int> { 3, 1, 2 }));
    EXPECT_TRUE (kul::GetDistinctValues (kul::Vector<int>()).IsEmpty());
}

TEST_F (VectorGrowthFailure, ResizeTranslatesFailuresNamingItsCallerAndKeepsTheContent)
{
    const std::string caller = "kultest::growFragileVector(kul::Vector<kultest::Fragile>&, unsigned long)";

    for (const auto& testCase : translationCases)
    {
        SCOPED_TRACE (testCase.resizeMessage);

        // Once beyond the capacity (new storage) and once within it (in place).
        for (const size_t capacity : { 2u, 8u })
        {
            auto vector = fragileVector ({ 1, 2 });
            growFragileVector (vector, capacity);
            growFragileVector (vector, 2);
            reports.clear();

            Fragile::onCreate = testCase.failure;
            const std::string expected = testCase.resizeMessage + caller;

            try
            {
                growFragileVector (vector, 1000);
                ADD_FAILURE() << "no exception";
            }
            catch (const kul::Exception& e) { EXPECT_EQ (e.what(), expected); }

            Fragile::onCreate = Failure::none;
            EXPECT_EQ (reports, std::vector<std::string> { "Exception occured : " + expected + "\n\n\n" });
            EXPECT_EQ (valuesOf (vector), (std::vector<int> { 1, 2 }));
        }
    }
}

TEST_F (VectorGrowthFailure, PushBackTranslatesFailuresWithFileAndLineAndKeepsTheContent)
{
    for (const auto& testCase : translationCases)
    {
        SCOPED_TRACE (testCase.pushBackMessage);
        auto vector = fragileVector ({ 1, 2, 3 });
        reports.clear();
        Fragile::onCopy = testCase.failure;

        try
        {
            appendFragile (vector, Fragile (4));
            ADD_FAILURE() << "no exception";
        }
        catch (const kul::UnknownException& e)
        {
            EXPECT_EQ (testCase.failure, Failure::integer);
            EXPECT_STREQ (e.what(), "unknown exception");
        }
        catch (const kul::Exception& e)
        {
            EXPECT_NE (testCase.failure, Failure::integer);
            EXPECT_STREQ (e.what(), testCase.pushBackMessage);
            EXPECT_EQ (e.GetFileName(), "OskelDspVectorImplementation");
            EXPECT_EQ (e.GetLine(), testCase.pushBackLine);
        }

        Fragile::onCopy = Failure::none;
        EXPECT_EQ (reports, std::vector<std::string> { "Exception occured in file \"OskelDspVectorImplementation\" (line "
                                                       + std::to_string (testCase.pushBackLine) + "): \n"
                                                       + testCase.pushBackMessage + "\n\n\n" });
        EXPECT_EQ (valuesOf (vector), (std::vector<int> { 1, 2, 3 }));
    }
}

TEST_F (VectorGrowthFailure, AssignmentTranslatesFailuresOfElementCopies)
{
    const auto source = fragileVector ({ 5, 6 });
    kul::Vector<Fragile> target;
    Fragile::onCopy = Failure::runtimeError;

    try
    {
        assignFragileVector (target, source);
        ADD_FAILURE() << "no exception";
    }
    catch (const kul::Exception& e)
    {
        EXPECT_STREQ (e.what(), "exception boom occured in kultest::assignFragileVector(kul::Vector<kultest::Fragile>&, "
                                "kul::Vector<kultest::Fragile> const&)");
    }

    EXPECT_TRUE (target.IsEmpty());
    EXPECT_EQ (reports.size(), 1u);
}
