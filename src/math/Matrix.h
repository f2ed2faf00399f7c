#pragma once

#include "math/Vector.h"

#include <complex>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <type_traits>

namespace kul
{
class File;

/** Dense rows-by-columns matrix of float or double, stored row-major:
    element (r, c) is data[r * columns + c]. */
template <typename T>
class Matrix
{
    static_assert (std::is_same_v<T, float> || std::is_same_v<T, double>);

public:
    /** Throws kul::Exception when rows x columns does not fit in 64 bits or cannot be allocated. */
    Matrix (std::uint64_t numRows = 0, std::uint64_t numColumns = 0, T fillValue = T());
    Matrix (const Matrix&) = default;
    Matrix& operator= (const Matrix&) = default;
    virtual ~Matrix() = default;

    /** Takes the other matrix's shape and converts every element to double. */
    template <typename U = T>
        requires std::is_same_v<U, double>
    Matrix& operator= (const Matrix<float>& other)
    {
        if (other.GetNumRows() != rows || other.GetNumColumns() != columns)
            SetShape (other.GetNumRows(), other.GetNumColumns());

        const float* source = other.GetData();
        for (std::uint64_t i = 0; i < size; ++i)
            data[i] = source[i];

        return *this;
    }

    /** data[i] *= other.data[i] for every element of this matrix; the other matrix
        must hold at least as many elements (else kul::Exception). */
    virtual void MultiplyElementwise (const Matrix& other);

    /** out = this x in; `in` needs at least `columns` elements (else kul::Exception). */
    virtual void Multiply (Vector<T>& out, const Vector<T>& in) const;

    /** The same product written into a rows x 1 matrix. */
    virtual void MultiplyIntoMatrix (Matrix& out, const Vector<T>& in) const;

    /** Real matrix times complex vector. */
    virtual void MultiplyComplex (Vector<std::complex<T>>& out, const Vector<std::complex<T>>& in) const;

    virtual void Print (std::ostream& stream, int numDecimals, const std::string& name) const;
    virtual void PrintMatlab (std::ostream& stream, int numDecimals, const std::string& name) const;
    virtual void PrintLatex (std::ostream& stream, int numDecimals, const std::string& name) const;
    virtual void Print (std::ostream& stream, const std::string& printfFormat, const std::string& name) const;
    virtual void PrintMatlab (std::ostream& stream, const std::string& printfFormat, const std::string& name) const;
    virtual void PrintLatex (std::ostream& stream, const std::string& printfFormat, const std::string& name) const;

    /** Writes the Print form into the file, replacing what it held; false when it cannot be opened. */
    virtual bool WriteToFile (const File& file, int numDecimals, const std::string& name) const;
    virtual bool WriteToFile (const File& file, const std::string& printfFormat, const std::string& name) const;

    /** Writes a level-5 MAT-file holding this matrix as a double array named `name`. */
    virtual bool WriteToMatFile (const File& file, const std::string& name, bool overwrite) const;

    std::uint64_t GetNumRows() const noexcept { return rows; }
    std::uint64_t GetNumColumns() const noexcept { return columns; }
    std::uint64_t GetSize() const noexcept { return size; }

    T& operator() (std::uint64_t row, std::uint64_t column) noexcept { return data[row * columns + column]; }
    const T& operator() (std::uint64_t row, std::uint64_t column) const noexcept { return data[row * columns + column]; }

    T* GetData() noexcept { return data.GetData(); }
    const T* GetData() const noexcept { return data.GetData(); }

    /** Changes the shape; elements are kept in storage order (new ones are 0). */
    void SetShape (std::uint64_t numRows, std::uint64_t numColumns);

private:
    std::uint64_t rows = 0;
    std::uint64_t columns = 0;
    std::uint64_t size = 0;
    Vector<T> data;

    template <typename Formatter>
    void printPlain (std::ostream&, const std::string& name, Formatter&&) const;
    template <typename Formatter>
    void printMatlab (std::ostream&, const std::string& name, Formatter&&) const;
    template <typename Formatter>
    void printLatex (std::ostream&, const std::string& name, Formatter&&) const;
    template <typename Formatter>
    bool writeToFile (const File&, const std::string& name, Formatter&&) const;
};

extern template class Matrix<float>;
extern template class Matrix<double>;

} // namespace kul
