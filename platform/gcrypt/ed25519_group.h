#pragma once
// Ed25519's group over libgcrypt's curve arithmetic: points read from and
// written as their 32-byte encodings (RFC 8032), multiples, differences.
// One per computation: libgcrypt's context is not shared between threads.
#include <optional>

#include "platform/gcrypt/gcrypt_handles.h"
#include "platform/gcrypt/mpi_bytes.h"

class Ed25519Group {
public:
    // Empty when libgcrypt does not make the curve.
    static std::optional<Ed25519Group> Make();

    // The point of a canonical encoding of a point on the curve; null for
    // any other 32 bytes.
    GcryptPoint Decode(const Ed25519Bytes& encoded) const;
    std::optional<Ed25519Bytes> Encode(gcry_mpi_point_t point) const;
    GcryptPoint Times(gcry_mpi_t n, gcry_mpi_point_t point) const;
    GcryptPoint TimesBase(gcry_mpi_t n) const;
    GcryptPoint Minus(gcry_mpi_point_t p, gcry_mpi_point_t q) const;
    // L, the order of the base point.
    gcry_mpi_t Order() const { return m_Curve.order.get(); }

private:
    struct Curve {
        GcryptMpi prime, a, d, order;
    };
    Ed25519Group(GcryptContext context, GcryptPoint base, Curve curve);
    bool OnCurve(gcry_mpi_t x, gcry_mpi_t y) const;

    GcryptContext m_Context;
    GcryptPoint m_Base;
    Curve m_Curve;
};
