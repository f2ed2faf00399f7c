#pragma once

#include "math/Matrix.h"

#include <cstdint>
#include <string>

namespace kul
{
class File;
class FileWriter;

/** Writes a level-5 MAT-file holding one double array. Refuses (false, nothing written)
    a shape or name that the format's 32-bit fields cannot hold, and answers false when a
    write or seek fails; the exceptions of preparing and opening the file pass through. */
bool WriteMatrixToMatFile (const File& file, const Matrix<double>& matrix, const std::string& name, bool overwrite);
bool WriteMatrixToMatFile (const File& file, const Matrix<float>& matrix, const std::string& name, bool overwrite);

/** The 128-byte file header: description text, no subsystem data, version and byte-order mark. */
bool WriteMatFileHeader (FileWriter& writer);

/** One miMATRIX element of class double; float elements are widened on the way. */
bool WriteMatFileMatrixElement (FileWriter& writer, const Matrix<double>& matrix, const std::string& name);
bool WriteMatFileMatrixElement (FileWriter& writer, const Matrix<float>& matrix, const std::string& name);

/** True when a matrix of this shape with this name fits the element's 32-bit sizes. */
bool FitsInMatFile (std::uint64_t rows, std::uint64_t columns, const std::string& name) noexcept;

} // namespace kul
