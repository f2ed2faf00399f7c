#include "math/MatFile.h"
#include "math/Matrix.h"

#include "common/Exception.h"
#include "files/File.h"
#include "files/FileWriter.h"

#include "FailingAllocations.h"
#include "TestHelpers.h"

#include <gtest/gtest.h>
#include <matio.h>

#include <csignal>
#include <cstdint>
#include <ctime>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace
{
std::vector<std::string> linesOf (const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream (text);
    for (std::string line; std::getline (stream, line);)
        lines.push_back (line);
    return lines;
}

template <typename Print>
std::vector<std::string> printed (Print&& print)
{
    std::ostringstream stream;
    print (stream);
    return linesOf (stream.str());
}

template <typename Integer>
Integer valueAt (const std::string& bytes, size_t position)
{
    Integer value {};
    std::memcpy (&value, bytes.data() + position, sizeof (value));
    return value;
}

/** rows x columns with element (r, c) = 10 r + c + 0.25, so that every position is told apart. */
kul::Matrix<double> numbered (std::uint64_t rows, std::uint64_t columns)
{
    kul::Matrix<double> matrix (rows, columns, 0.0);
    for (std::uint64_t r = 0; r < rows; ++r)
        for (std::uint64_t c = 0; c < columns; ++c)
            matrix (r, c) = 10.0 * static_cast<double> (r) + static_cast<double> (c) + 0.25;
    return matrix;
}

// The header's text for a time: "Created by Oskel - Mac OS - " and the local date and time
// as dd/mm/yyyy - HHhMMmSSs, padded with blanks to 116 bytes.
std::string headerTextAt (std::time_t time)
{
    std::tm local {};
    localtime_r (&time, &local);
    char date[64];
    std::strftime (date, sizeof (date), "%d/%m/%Y - %Hh%Mm%Ss", &local);
    std::string text = std::string ("Created by Oskel - Mac OS - ") + date;
    text.resize (116, ' ');
    return text;
}

class MatrixFileTest : public ::testing::Test
{
protected:
    std::string pathOf (const std::string& name) const { return folder.path + "/" + name; }

    const TemporaryFolder folder;
};
} // namespace

TEST (Matrix, PlainFormListsShapeNameAndRowsWithABlankAfterEachValue)
{
    const kul::Matrix<double> matrix (2, 3, 1.5);

    EXPECT_EQ (printed ([&] (auto& s) { matrix.Print (s, 1, ""); }),
               (std::vector<std::string> { "matrix 2 x 3", "1.5 1.5 1.5 ", "1.5 1.5 1.5 " }));
    EXPECT_EQ (printed ([&] (auto& s) { matrix.Print (s, "%.2f", "m"); }),
               (std::vector<std::string> { "matrix 2 x 3", "m = ", "1.50 1.50 1.50 ", "1.50 1.50 1.50 " }));

    // A format that does not convert exactly one floating-point value formats nothing.
    EXPECT_EQ (printed ([&] (auto& s) { kul::Matrix<float> (1, 2, 1.0f).Print (s, "%d %f", ""); }),
               (std::vector<std::string> { "matrix 1 x 2", "  " }));
}

TEST (Matrix, MatlabAndLatexFormsFollowTheirLayouts)
{
    kul::Matrix<float> row (1, 2, 0.0f);
    row (0, 0) = 1.0f;
    row (0, 1) = -2.5f;

    EXPECT_EQ (printed ([&] (auto& s) { row.PrintMatlab (s, 1, "m"); }),
               (std::vector<std::string> { "% matrix 1 x 2", "m = [ ...", "1.0 -2.5 ; ...", "...", "]; " }));
    EXPECT_EQ (printed ([&] (auto& s) { row.PrintMatlab (s, 1, ""); })[1], "[ ...");

    const kul::Matrix<double> square (2, 2, 3.0);
    EXPECT_EQ (printed ([&] (auto& s) { square.PrintLatex (s, "%g", "A"); }),
               (std::vector<std::string> { "\\begin{equation}", "\\begin{pmatrix}", "A = ", "\\begin{array}{cc}",
                                           "                     3  & 3  \\\\ ",
                                           "\\noalign{\\smallskip} 3  & 3  \\\\ ",
                                           "\\end{array}", "\\end{pmatrix}", "\\end{equation}" }));
}

TEST (Matrix, ProductsSumRowsInColumnOrder)
{
    const auto matrix = numbered (2, 3); // rows 0.25 1.25 2.25 / 10.25 11.25 12.25
    kul::Vector<double> in (3);
    in[0] = 1.0;
    in[1] = 2.0;
    in[2] = -1.0;

    kul::Vector<double> out;
    matrix.Multiply (out, in);
    ASSERT_EQ (out.Size(), 2u);
    EXPECT_DOUBLE_EQ (out[0], 0.25 + 2.5 - 2.25);
    EXPECT_DOUBLE_EQ (out[1], 10.25 + 22.5 - 12.25);

    // The product may be asked into its own input.
    kul::Vector<double> inOut = in;
    kul::Matrix<double> (3, 3, 1.0).Multiply (inOut, inOut);
    EXPECT_DOUBLE_EQ (inOut[2], 2.0);

    kul::Matrix<double> column (7, 7, 9.0);
    matrix.MultiplyIntoMatrix (column, in);
    EXPECT_EQ (column.GetNumRows(), 2u);
    EXPECT_EQ (column.GetNumColumns(), 1u);
    EXPECT_DOUBLE_EQ (column (1, 0), out[1]);

    kul::Vector<std::complex<double>> complexIn (3);
    complexIn[1] = { 0.0, 2.0 };
    kul::Vector<std::complex<double>> complexOut;
    matrix.MultiplyComplex (complexOut, complexIn);
    EXPECT_EQ (complexOut[1], std::complex<double> (0.0, 22.5));

    kul::Matrix<double> squares = numbered (2, 3);
    squares.MultiplyElementwise (matrix);
    EXPECT_DOUBLE_EQ (squares (1, 2), 12.25 * 12.25);

    // Without columns every product is 0.
    kul::Matrix<double> (3, 0, 0.0).Multiply (out, kul::Vector<double>());
    EXPECT_EQ (out.Size(), 3u);
    EXPECT_EQ (out[2], 0.0);
}

TEST (Matrix, OperandsTooSmallAndShapesTooLargeThrowInsteadOfOverrunning)
{
    const auto matrix = numbered (2, 3);
    kul::Vector<double> out;
    kul::Vector<std::complex<double>> complexOut;
    kul::Matrix<double> column;

    EXPECT_THROW (matrix.Multiply (out, kul::Vector<double> (2)), kul::Exception);
    EXPECT_THROW (matrix.MultiplyIntoMatrix (column, kul::Vector<double> (2)), kul::Exception);
    EXPECT_THROW (matrix.MultiplyComplex (complexOut, kul::Vector<std::complex<double>> (2)), kul::Exception);

    auto target = numbered (2, 3);
    EXPECT_THROW (target.MultiplyElementwise (numbered (1, 5)), kul::Exception);
    EXPECT_DOUBLE_EQ (target (1, 2), 12.25);

    EXPECT_THROW (kul::Matrix<float> (std::uint64_t (1) << 32, std::uint64_t (1) << 32, 0.0f), kul::Exception);
}

TEST (Matrix, DoubleMatrixTakesShapeAndValuesOfAFloatMatrix)
{
    kul::Matrix<float> source (3, 1, 0.1f);
    kul::Matrix<double> target (1, 1, 5.0);
    target = source;

    EXPECT_EQ (target.GetNumRows(), 3u);
    EXPECT_EQ (target.GetNumColumns(), 1u);
    EXPECT_EQ (target.GetSize(), 3u);
    EXPECT_EQ (target (2, 0), static_cast<double> (0.1f));
}

TEST_F (MatrixFileTest, TextFileHoldsThePlainFormAndReplacesWhatWasThere)
{
    const auto path = pathOf ("m.txt");
    writeFile (path, "an older and much longer content than the matrix");

    ASSERT_TRUE (kul::Matrix<double> (1, 2, 0.5).WriteToFile (kul::File (path), 2, "x"));

    EXPECT_EQ (readFile (path), "matrix 1 x 2\nx = \n0.50 0.50 \n");

    EXPECT_FALSE (kul::Matrix<double> (1, 1, 0.0).WriteToFile (kul::File (pathOf ("missing/m.txt")), "%f", ""));
}

TEST_F (MatrixFileTest, MatFileOfTwoByThreeIsLaidOutByteForByte)
{
    const auto path = pathOf ("abc.mat");
    const auto before = std::time (nullptr);
    ASSERT_TRUE (numbered (2, 3).WriteToMatFile (kul::File (path), "abc", false));
    const auto after = std::time (nullptr);

    const auto bytes = readFile (path);
    ASSERT_EQ (bytes.size(), 128u + 8 + 16 + 16 + 16 + 8 + 48);

    const auto header = bytes.substr (0, 116);
    bool dated = false;
    for (auto time = before - 1; time <= after + 1; ++time)
        dated = dated || header == headerTextAt (time);
    EXPECT_TRUE (dated) << header << " written between " << headerTextAt (before) << " and " << headerTextAt (after);
    EXPECT_EQ (bytes.substr (116, 8), std::string (8, ' '));
    EXPECT_EQ (valueAt<std::uint16_t> (bytes, 124), 0x0100);
    EXPECT_EQ (bytes.substr (126, 2), "IM");

    const std::vector<std::int32_t> words { 14, 104, 6, 8, 6, 0, 5, 8, 2, 3, 1, 3 };
    for (size_t i = 0; i < words.size(); ++i)
        EXPECT_EQ (valueAt<std::int32_t> (bytes, 128 + 4 * i), words[i]) << "word " << i;

    EXPECT_EQ (bytes.substr (176, 8), "abc     ");
    EXPECT_EQ (valueAt<std::int32_t> (bytes, 184), 9);
    EXPECT_EQ (valueAt<std::int32_t> (bytes, 188), 48);

    const double columnMajor[] = { 0.25, 10.25, 1.25, 11.25, 2.25, 12.25 };
    for (size_t i = 0; i < 6; ++i)
        EXPECT_EQ (valueAt<double> (bytes, 192 + 8 * i), columnMajor[i]) << "value " << i;
}

TEST_F (MatrixFileTest, AnIndependentReaderReadsBackEveryShapeWeWrite)
{
    const struct { std::uint64_t rows, columns; std::string name; } cases[] = {
        { 1, 1, "one" }, { 2, 3, "abc" }, { 3, 1, "column" }, { 0, 0, "empty" },
        { 4, 5, "a_rather_long_variable_name_of_many_bytes" }, { 2, 2, "eightchr" },
        // Data moved in several tiles with a part-filled last one, and in rows too many for any tile.
        { 300, 1000, "tiles" }, { 20000, 3, "tall" }, { 2, 2, "f" },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto path = pathOf (c.name + ".mat");
        std::vector<double> columnMajor;
        // The last is a float matrix, stored as doubles of the same values.
        if (c.name == "f")
        {
            ASSERT_TRUE (kul::Matrix<float> (2, 2, 0.1f).WriteToMatFile (kul::File (path), "f", false));
            columnMajor.assign (4, static_cast<double> (0.1f));
        }
        else
        {
            const auto matrix = numbered (c.rows, c.columns);
            ASSERT_TRUE (kul::WriteMatrixToMatFile (kul::File (path), matrix, c.name, false));
            for (std::uint64_t column = 0; column < c.columns; ++column)
                for (std::uint64_t row = 0; row < c.rows; ++row)
                    columnMajor.push_back (matrix (row, column));
        }

        mat_t* file = Mat_Open (path.c_str(), MAT_ACC_RDONLY);
        ASSERT_NE (file, nullptr);
        matvar_t* variable = Mat_VarRead (file, c.name.c_str());
        ASSERT_NE (variable, nullptr);
        EXPECT_EQ (std::string (variable->name), c.name);
        EXPECT_EQ (variable->class_type, MAT_C_DOUBLE);
        ASSERT_EQ (variable->rank, 2);
        EXPECT_EQ (std::vector<size_t> (variable->dims, variable->dims + 2), (std::vector<size_t> { c.rows, c.columns }));
        const auto* values = static_cast<const double*> (variable->data);
        EXPECT_EQ (std::vector<double> (values, values + columnMajor.size()), columnMajor);
        Mat_VarFree (variable);
        Mat_Close (file);
    }
}

TEST_F (MatrixFileTest, MatFileRefusesWhatItCannotStoreAndReportsFailedWrites)
{
    const std::uint64_t maxDimension = 0x7FFFFFFF;
    EXPECT_TRUE (kul::FitsInMatFile (maxDimension, 0, "x"));
    EXPECT_FALSE (kul::FitsInMatFile (maxDimension + 1, 0, "x"));
    EXPECT_FALSE (kul::FitsInMatFile (0, maxDimension + 1, "x"));
    EXPECT_FALSE (kul::FitsInMatFile (1u << 16, 1u << 13, "x")); // 4 GiB of data

    // A refused matrix leaves an existing file as it was, even when asked to overwrite it.
    const auto path = pathOf ("kept.mat");
    writeFile (path, "kept");
    EXPECT_FALSE (kul::Matrix<double> (maxDimension + 1, 0, 0.0).WriteToMatFile (kul::File (path), "x", true));
    EXPECT_EQ (readFile (path), "kept");

    // Without overwrite an existing file is an error of the caller's.
    EXPECT_EQ (failureOf ([&] { numbered (1, 1).WriteToMatFile (kul::File (path), "x", false); }),
               "File already exists \"" + path + "\" @OskelDspFile:1991");

    // A writer that does not know where it stands cannot patch the element's byte count.
    {
        kul::FileWriter writer { kul::File (pathOf ("lost.mat")) };
        EXPECT_FALSE (writer.SetPosition (-1));
        EXPECT_FALSE (kul::WriteMatFileMatrixElement (writer, numbered (1, 1), "x"));
    }
    EXPECT_EQ (readFile (pathOf ("lost.mat")), "");

    // A file-size limit below the file's size makes the data's write fail part-way.
    rlimit previous {};
    ASSERT_EQ (::getrlimit (RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal (SIGXFSZ, SIG_IGN);
    rlimit limited = previous;
    limited.rlim_cur = 200;
    ASSERT_EQ (::setrlimit (RLIMIT_FSIZE, &limited), 0);
    const bool written = numbered (2, 3).WriteToMatFile (kul::File (pathOf ("limited.mat")), "abc", false);
    ::setrlimit (RLIMIT_FSIZE, &previous);
    std::signal (SIGXFSZ, previousHandler);
    EXPECT_FALSE (written);
}

TEST_F (MatrixFileTest, MatFileAllocationFailuresLeaveAsLibraryExceptions)
{
    // A small matrix needs no large block.
    {
        const auto failing = FailingAllocations::LargerThan (4096);
        EXPECT_TRUE (numbered (1, 1).WriteToMatFile (kul::File (pathOf ("small.mat")), "x", false));
    }

    int outOfMemory = 0;
    for (size_t number = 0;; ++number)
    {
        ASSERT_LT (number, 500u);
        const auto path = pathOf ("failing" + std::to_string (number) + ".mat");
        const CaughtReports reports;

        try
        {
            const auto failing = FailingAllocations::Numbered (number);
            const bool written = numbered (2, 3).WriteToMatFile (kul::File (path), "abc", false);
            if (! failing.HaveFailed())
            {
                EXPECT_TRUE (written);
                break;
            }
        }
        catch (const kul::Exception& e)
        {
            outOfMemory += std::string (e.what()).rfind ("out of memory occured in ", 0) == 0;
        }
        catch (...)
        {
            ADD_FAILURE() << "allocation " << number << " let a foreign exception out";
        }
    }

    EXPECT_GT (outOfMemory, 0);
}
