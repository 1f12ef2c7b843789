#pragma once
// Owners of libgcrypt's objects, so that every path frees what it made.
#include <memory>
#include <type_traits>

#include <gcrypt.h>

template <typename Handle, void (*Release)(Handle)>
struct GcryptRelease {
    void operator()(Handle handle) const { Release(handle); }
};

template <typename Handle, void (*Release)(Handle)>
using GcryptOwned = std::unique_ptr<std::remove_pointer_t<Handle>, GcryptRelease<Handle, Release>>;

using GcryptMpi = GcryptOwned<gcry_mpi_t, gcry_mpi_release>;
using GcryptPoint = GcryptOwned<gcry_mpi_point_t, gcry_mpi_point_release>;
using GcryptContext = GcryptOwned<gcry_ctx_t, gcry_ctx_release>;
using GcryptHash = GcryptOwned<gcry_md_hd_t, gcry_md_close>;
