#pragma once

/*  Our own vector primitives, shaped like the platform vector library's so that
    the library calls them by the names it would call there. Every function takes
    element strides; a stride of 1 (both sides) takes a loop that the compiler
    vectorises, any other stride a plain indexed loop (element i of an array with
    stride s is at index i x s, s may be negative when the pointer is placed so
    that every index stays inside the array). None allocates, locks or throws.
*/

using vDSP_Length = unsigned long;
using vDSP_Stride = long;

extern "C"
{

/** C[i] = A[i] x *B. In place (C == A) is allowed. */
void vDSP_vsmul (const float* A, vDSP_Stride IA, const float* B, float* C, vDSP_Stride IC, vDSP_Length N) noexcept;
void vDSP_vsmulD (const double* A, vDSP_Stride IA, const double* B, double* C, vDSP_Stride IC, vDSP_Length N) noexcept;

/** C[i] = -A[i]. In place is allowed. */
void vDSP_vneg (const float* A, vDSP_Stride IA, float* C, vDSP_Stride IC, vDSP_Length N) noexcept;
void vDSP_vnegD (const double* A, vDSP_Stride IA, double* C, vDSP_Stride IC, vDSP_Length N) noexcept;

/** C[i] = *A. */
void vDSP_vfill (const float* A, float* C, vDSP_Stride IC, vDSP_Length N) noexcept;
void vDSP_vfillD (const double* A, double* C, vDSP_Stride IC, vDSP_Length N) noexcept;

/** *C = the largest |A[i]|, 0 for N = 0. NaNs are passed over. */
void vDSP_maxmgv (const float* A, vDSP_Stride IA, float* C, vDSP_Length N) noexcept;
void vDSP_maxmgvD (const double* A, vDSP_Stride IA, double* C, vDSP_Length N) noexcept;

/** O[i] = I[i] x (*Start + i x *Step), and afterwards *Start = *Start + N x *Step,
    the gain the element after the last would have had, so that consecutive calls
    continue one ramp (as the platform's function leaves it). The gains are not
    summed up over the whole block, so long ramps do not drift: each stays within
    a few units in the last place of start + i x step. In place (O == I) is allowed. */
void vDSP_vrampmul (const float* I, vDSP_Stride IS, float* Start, const float* Step,
                    float* O, vDSP_Stride OS, vDSP_Length N) noexcept;
void vDSP_vrampmulD (const double* I, vDSP_Stride IS, double* Start, const double* Step,
                     double* O, vDSP_Stride OS, vDSP_Length N) noexcept;

/** C[i] = A[i] x B[i]. C may be A or B. */
void vDSP_vmul (const float* A, vDSP_Stride IA, const float* B, vDSP_Stride IB,
                float* C, vDSP_Stride IC, vDSP_Length N) noexcept;
void vDSP_vmulD (const double* A, vDSP_Stride IA, const double* B, vDSP_Stride IB,
                 double* C, vDSP_Stride IC, vDSP_Length N) noexcept;

} // extern "C"
