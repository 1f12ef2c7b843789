#pragma once
// The short codes of the catalogue pipeline's refusals, as the JSON
// "reason" gives them. The dialogs' offer and the station decide on them
// too, so each is written here once.
inline constexpr const char* kReasonInterrupted = "interrupted";
inline constexpr const char* kReasonBadTrustedKey = "bad-trusted-key";
inline constexpr const char* kReasonCatalogueUnreachable = "catalogue-unreachable";
inline constexpr const char* kReasonCatalogueUntrusted = "catalogue-untrusted";
inline constexpr const char* kReasonCatalogueOlder = "catalogue-older";
inline constexpr const char* kReasonCatalogueReplaced = "catalogue-replaced";
inline constexpr const char* kReasonCatalogueExpired = "catalogue-expired";
inline constexpr const char* kReasonPackageLocation = "package-location";
inline constexpr const char* kReasonPackageMismatch = "package-mismatch";
inline constexpr const char* kReasonPackageUnreachable = "package-unreachable";
inline constexpr const char* kReasonCannotSave = "cannot-save";
