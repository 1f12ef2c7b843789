#pragma once
// The catalogue memory in a small file: catalogue-state.json in the user's
// state folder, or the file CONTROLLER_UPDATER_STATE names. Written whole
// to a temporary file beside it, flushed to the disk and renamed over it.
#include <string>

#include "catalogue/trust_store.h"
#include "platform/linux/user_state_folder.h"

class StateFileStore final : public ITrustStore {
public:
    // path empty: there is no usable place; Load finds nothing, Save fails.
    explicit StateFileStore(std::string path) : m_Path(std::move(path)) {}
    // The file named by the environment, else the one in the state folder.
    static std::string DefaultPath(const EnvironmentLookup& getenv);

    TrustStoreLoad Load() override;
    std::string Save(std::string_view text) override;
    std::string Where() const override { return m_Path; }

private:
    std::string m_Path;
};
