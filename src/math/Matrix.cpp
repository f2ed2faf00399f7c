#include "math/Matrix.h"

#include "files/File.h"
#include "math/MatFile.h"
#include "math/VectorOperations.h"
#include "text/StringHelper.h"

#include <fstream>
#include <limits>
#include <ostream>

namespace kul
{
namespace
{
constexpr const char* sourceName = "math/Matrix";

[[noreturn]] void throwTooSmall (const char* what, std::uint64_t needed, std::uint64_t available)
{
    throw Exception (std::string (what) + " holds " + StringHelper::ToString (static_cast<unsigned long> (available))
                         + " elements where " + StringHelper::ToString (static_cast<unsigned long> (needed))
                         + " are needed",
                     sourceName, __LINE__, true, false);
}

std::string formatValue (float value, int numDecimals) { return StringHelper::ToString (value, numDecimals); }
std::string formatValue (double value, int numDecimals) { return StringHelper::ToString (value, numDecimals); }
std::string formatValue (float value, const std::string& format) { return StringHelper::FormatFloat (format, value); }
std::string formatValue (double value, const std::string& format) { return StringHelper::FormatDouble (format, value); }

template <typename T, typename Argument>
auto formatterFor (const Argument& argument)
{
    return [&argument] (T value) { return formatValue (value, argument); };
}

/** The product of a row-major matrix with a vector, summed in column order. */
template <typename T, typename Out, typename In>
void multiplyRows (const T* data, std::uint64_t rows, std::uint64_t columns, Out* out, const In* in)
{
    for (std::uint64_t r = 0; r < rows; ++r)
    {
        Out sum {};
        const T* row = data + r * columns;
        for (std::uint64_t c = 0; c < columns; ++c)
            sum += row[c] * in[c];
        out[r] = sum;
    }
}
} // namespace

template <typename T>
Matrix<T>::Matrix (std::uint64_t numRows, std::uint64_t numColumns, T fillValue)
{
    SetShape (numRows, numColumns);
    FillVector (data.GetData(), static_cast<size_t> (size), fillValue);
}

template <typename T>
void Matrix<T>::SetShape (std::uint64_t numRows, std::uint64_t numColumns)
{
    if (numColumns != 0 && numRows > std::numeric_limits<std::uint64_t>::max() / numColumns)
        throw Exception ("matrix of " + StringHelper::ToString (static_cast<unsigned long> (numRows)) + " x "
                             + StringHelper::ToString (static_cast<unsigned long> (numColumns)) + " elements is too large",
                         sourceName, __LINE__, true, false);

    const std::uint64_t newSize = numRows * numColumns;
    data.Resize (static_cast<size_t> (newSize));
    rows = numRows;
    columns = numColumns;
    size = newSize;
}

template <typename T>
void Matrix<T>::MultiplyElementwise (const Matrix& other)
{
    if (size == 0)
        return;

    if (other.size < size)
        throwTooSmall ("the other matrix", size, other.size);

    MultiplyVectors (data.GetData(), other.data.GetData(), static_cast<size_t> (size));
}

template <typename T>
void Matrix<T>::Multiply (Vector<T>& out, const Vector<T>& in) const
{
    if (in.Size() < columns)
        throwTooSmall ("the input vector", columns, in.Size());

    if (&out == &in)
    {
        // Writing into the vector that is still being read would corrupt the product.
        Vector<T> result;
        Multiply (result, in);
        out = std::move (result);
        return;
    }

    out.Resize (static_cast<size_t> (rows));
    multiplyRows (data.GetData(), rows, columns, out.GetData(), in.GetData());
}

template <typename T>
void Matrix<T>::MultiplyIntoMatrix (Matrix& out, const Vector<T>& in) const
{
    if (in.Size() < columns)
        throwTooSmall ("the input vector", columns, in.Size());

    if (&out == this)
    {
        Matrix result;
        MultiplyIntoMatrix (result, in);
        out = std::move (result);
        return;
    }

    if (out.rows != rows || out.columns != 1)
        out.SetShape (rows, 1);

    multiplyRows (data.GetData(), rows, columns, out.data.GetData(), in.GetData());
}

template <typename T>
void Matrix<T>::MultiplyComplex (Vector<std::complex<T>>& out, const Vector<std::complex<T>>& in) const
{
    if (in.Size() < columns)
        throwTooSmall ("the input vector", columns, in.Size());

    if (&out == &in)
    {
        Vector<std::complex<T>> result;
        MultiplyComplex (result, in);
        out = std::move (result);
        return;
    }

    out.Resize (static_cast<size_t> (rows));
    multiplyRows (data.GetData(), rows, columns, out.GetData(), in.GetData());
}

template <typename T>
template <typename Formatter>
void Matrix<T>::printPlain (std::ostream& stream, const std::string& name, Formatter&& format) const
{
    stream << "matrix " << rows << " x " << columns << std::endl;

    if (! name.empty())
        stream << name << " = " << std::endl;

    for (std::uint64_t r = 0; r < rows; ++r)
    {
        for (std::uint64_t c = 0; c < columns; ++c)
            stream << format ((*this) (r, c)) << ' ';
        stream << std::endl;
    }
}

template <typename T>
template <typename Formatter>
void Matrix<T>::printMatlab (std::ostream& stream, const std::string& name, Formatter&& format) const
{
    stream << "% matrix " << rows << " x " << columns << std::endl;
    stream << (name.empty() ? std::string() : name + " = ") << "[ ..." << std::endl;

    for (std::uint64_t r = 0; r < rows; ++r)
    {
        for (std::uint64_t c = 0; c < columns; ++c)
            stream << format ((*this) (r, c)) << ' ';
        stream << "; ..." << std::endl;
    }

    stream << "..." << std::endl;
    stream << "]; " << std::endl;
}

template <typename T>
template <typename Formatter>
void Matrix<T>::printLatex (std::ostream& stream, const std::string& name, Formatter&& format) const
{
    stream << "\\begin{equation}" << std::endl;
    stream << "\\begin{pmatrix}" << std::endl;

    if (! name.empty())
        stream << name << " = " << std::endl;

    stream << "\\begin{array}{" << std::string (static_cast<size_t> (columns), 'c') << "}" << std::endl;

    for (std::uint64_t r = 0; r < rows; ++r)
    {
        // Both prefixes are 21 characters, so the columns line up in the source.
        stream << (r == 0 ? "                     " : "\\noalign{\\smallskip} ");

        for (std::uint64_t c = 0; c < columns; ++c)
        {
            stream << format ((*this) (r, c)) << ' ';
            stream << (c + 1 < columns ? " & " : " \\\\ ");
        }

        stream << std::endl;
    }

    stream << "\\end{array}" << std::endl;
    stream << "\\end{pmatrix}" << std::endl;
    stream << "\\end{equation}" << std::endl;
}

template <typename T>
template <typename Formatter>
bool Matrix<T>::writeToFile (const File& file, const std::string& name, Formatter&& format) const
{
    std::ofstream stream (file.GetFullPathName(), std::ios::out | std::ios::trunc);

    if (! stream.is_open())
        return false;

    printPlain (stream, name, format);
    return true;
}

template <typename T>
void Matrix<T>::Print (std::ostream& stream, int numDecimals, const std::string& name) const
{
    printPlain (stream, name, formatterFor<T> (numDecimals));
}

template <typename T>
void Matrix<T>::PrintMatlab (std::ostream& stream, int numDecimals, const std::string& name) const
{
    printMatlab (stream, name, formatterFor<T> (numDecimals));
}

template <typename T>
void Matrix<T>::PrintLatex (std::ostream& stream, int numDecimals, const std::string& name) const
{
    printLatex (stream, name, formatterFor<T> (numDecimals));
}

template <typename T>
void Matrix<T>::Print (std::ostream& stream, const std::string& printfFormat, const std::string& name) const
{
    printPlain (stream, name, formatterFor<T> (printfFormat));
}

template <typename T>
void Matrix<T>::PrintMatlab (std::ostream& stream, const std::string& printfFormat, const std::string& name) const
{
    printMatlab (stream, name, formatterFor<T> (printfFormat));
}

template <typename T>
void Matrix<T>::PrintLatex (std::ostream& stream, const std::string& printfFormat, const std::string& name) const
{
    printLatex (stream, name, formatterFor<T> (printfFormat));
}

template <typename T>
bool Matrix<T>::WriteToFile (const File& file, int numDecimals, const std::string& name) const
{
    return writeToFile (file, name, formatterFor<T> (numDecimals));
}

template <typename T>
bool Matrix<T>::WriteToFile (const File& file, const std::string& printfFormat, const std::string& name) const
{
    return writeToFile (file, name, formatterFor<T> (printfFormat));
}

template <typename T>
bool Matrix<T>::WriteToMatFile (const File& file, const std::string& name, bool overwrite) const
{
    return WriteMatrixToMatFile (file, *this, name, overwrite);
}

template class Matrix<float>;
template class Matrix<double>;

} // namespace kul
