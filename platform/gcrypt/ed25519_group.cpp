#include "platform/gcrypt/ed25519_group.h"

#include <utility>

namespace {

constexpr unsigned kEncodedBits = kEd25519Bytes * 8;
constexpr std::size_t kSignByte = kEd25519Bytes - 1;
constexpr std::uint8_t kSignBit = 0x80;

GcryptMpi NewMpi()
{
    return GcryptMpi(gcry_mpi_new(0));
}

}  // namespace

Ed25519Group::Ed25519Group(GcryptContext context, GcryptPoint base, Curve curve)
    : m_Context(std::move(context)), m_Base(std::move(base)), m_Curve(std::move(curve))
{
}

std::optional<Ed25519Group> Ed25519Group::Make()
{
    gcry_ctx_t made = nullptr;
    if (gcry_mpi_ec_new(&made, nullptr, "Ed25519") != 0)
        return std::nullopt;
    GcryptContext context(made);
    GcryptPoint base(gcry_mpi_ec_get_point("g", context.get(), 1));
    // libgcrypt names an Edwards curve's d "b".
    Curve curve{GcryptMpi(gcry_mpi_ec_get_mpi("p", context.get(), 1)),
                GcryptMpi(gcry_mpi_ec_get_mpi("a", context.get(), 1)),
                GcryptMpi(gcry_mpi_ec_get_mpi("b", context.get(), 1)),
                GcryptMpi(gcry_mpi_ec_get_mpi("n", context.get(), 1))};
    if (!base || !curve.prime || !curve.a || !curve.d || !curve.order)
        return std::nullopt;
    return Ed25519Group(std::move(context), std::move(base), std::move(curve));
}

GcryptPoint Ed25519Group::Decode(const Ed25519Bytes& encoded) const
{
    const GcryptMpi value(gcry_mpi_set_opaque_copy(nullptr, encoded.data(), kEncodedBits));
    const GcryptPoint decoded(gcry_mpi_point_new(0));
    const GcryptMpi one(gcry_mpi_set_ui(nullptr, 1));
    if (!value || !decoded || !one || gcry_mpi_ec_decode_point(decoded.get(), value.get(), m_Context.get()) != 0)
        return nullptr;
    // libgcrypt's Ed25519 field arithmetic aborts on coordinates not in the
    // number form its multiplication sets up: [1]P is P in that form.
    GcryptPoint point = Times(one.get(), decoded.get());
    const GcryptMpi x = NewMpi();
    const GcryptMpi y = NewMpi();
    if (!point || !x || !y || gcry_mpi_ec_get_affine(x.get(), y.get(), point.get(), m_Context.get()) != 0)
        return nullptr;
    // Decoding does not check that the point is on the curve, and takes
    // y >= p and a "negative" x = 0 as the values they reduce to: only the
    // encoding of a point on the curve is a point.
    if (!OnCurve(x.get(), y.get()) || Encode(point.get()) != encoded)
        return nullptr;
    return point;
}

bool Ed25519Group::OnCurve(gcry_mpi_t x, gcry_mpi_t y) const
{
    // a·x² + y² = 1 + d·x²·y², with libgcrypt's general arithmetic: its
    // own curve check aborts on Ed25519 points.
    const GcryptMpi xx = NewMpi(), yy = NewMpi(), axx = NewMpi(), left = NewMpi();
    const GcryptMpi dxx = NewMpi(), dxxyy = NewMpi(), right = NewMpi();
    if (!xx || !yy || !axx || !left || !dxx || !dxxyy || !right)
        return false;
    gcry_mpi_t prime = m_Curve.prime.get();
    gcry_mpi_mulm(xx.get(), x, x, prime);
    gcry_mpi_mulm(yy.get(), y, y, prime);
    gcry_mpi_mulm(axx.get(), m_Curve.a.get(), xx.get(), prime);
    gcry_mpi_addm(left.get(), axx.get(), yy.get(), prime);
    gcry_mpi_mulm(dxx.get(), m_Curve.d.get(), xx.get(), prime);
    gcry_mpi_mulm(dxxyy.get(), dxx.get(), yy.get(), prime);
    gcry_mpi_add_ui(right.get(), dxxyy.get(), 1);
    gcry_mpi_mod(right.get(), right.get(), prime);
    return gcry_mpi_cmp(left.get(), right.get()) == 0;
}

std::optional<Ed25519Bytes> Ed25519Group::Encode(gcry_mpi_point_t point) const
{
    const GcryptMpi x = NewMpi();
    const GcryptMpi y = NewMpi();
    if (!x || !y || gcry_mpi_ec_get_affine(x.get(), y.get(), point, m_Context.get()) != 0)
        return std::nullopt;
    auto encoded = MpiToLittleEndian(y.get());
    if (!encoded || ((*encoded)[kSignByte] & kSignBit) != 0)
        return std::nullopt;
    if (gcry_mpi_test_bit(x.get(), 0))
        (*encoded)[kSignByte] |= kSignBit;
    return encoded;
}

GcryptPoint Ed25519Group::Times(gcry_mpi_t n, gcry_mpi_point_t point) const
{
    GcryptPoint product(gcry_mpi_point_new(0));
    if (product)
        gcry_mpi_ec_mul(product.get(), n, point, m_Context.get());
    return product;
}

GcryptPoint Ed25519Group::TimesBase(gcry_mpi_t n) const
{
    return Times(n, m_Base.get());
}

GcryptPoint Ed25519Group::Minus(gcry_mpi_point_t p, gcry_mpi_point_t q) const
{
    GcryptPoint difference(gcry_mpi_point_new(0));
    if (difference)
        gcry_mpi_ec_sub(difference.get(), p, q, m_Context.get());
    return difference;
}
