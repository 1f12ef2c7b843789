#pragma once
// The dialogs' catalogue: read in the background once a controller
// attaches (fetched, its signature, key chain and freshness judged by the
// command line's pipeline), and at the update click its newest fitting
// package offered before the file chooser, downloaded and checked against
// the listing, and handed to the session with its binding.
//
// Threads: ControllerAttached on the UI thread; ChoosePackage on the update
// worker; Stop from any thread. The read never holds up the UI thread: only
// the worker waits for it, and a stop of the session or of the offer ends
// that wait, the read and a download within the fetcher's stop latency.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/package_offer.h"
#include "cli/catalogue_source.h"

struct CatalogueSetup {
    std::string location;                 // an http(s) URL or a local path
    std::vector<std::string> trustFiles;  // signify keys trusted beside the build's
    std::uint32_t stallTimeoutMs = kDefaultStallTimeoutMs;
};

// The catalogue a dialog offers from: --catalogue's location, else the
// build's (UPDATER_CATALOGUE_URL); empty when neither names one.
std::string ConfiguredCatalogue(const std::string& option);

class CatalogueOffer final : public IPackageOffer {
public:
    CatalogueOffer(const CatalogueServices& services, CatalogueSetup setup, IOfferAsker& asker);
    ~CatalogueOffer() override;
    CatalogueOffer(const CatalogueOffer&) = delete;
    CatalogueOffer& operator=(const CatalogueOffer&) = delete;

    void ControllerAttached() override;
    bool ChoosePackage(UpdateSession& session, const std::function<bool(std::u16string&)>& chooseFile,
                       std::u16string& path) override;
    void Stop() override;

    // True once a read has ended (tests, the benchmark). Any thread.
    bool ReadDone() const;

private:
    struct Read {
        std::optional<Catalogue> catalogue;
        std::string reason;  // the pipeline's reason code, when refused
        std::string detail;  // its words
    };

    void ReadCatalogue();
    // The last read, once no read runs; null when stopped first.
    std::shared_ptr<const Read> WaitForRead(const StopSignal& session);
    // Downloaded and checked; false after the refusal was said.
    bool Install(UpdateSession& session, const CatalogueEntry& entry, std::u16string& path);
    void Say(UpdateSession& session, const std::string& reason, const std::string& detail);
    void RemoveLastDownload();

    const CatalogueServices& m_Services;
    const CatalogueSetup m_Setup;
    IOfferAsker& m_Asker;
    StopSignal m_Stop;

    mutable std::mutex m_Mutex;
    std::condition_variable m_ReadEnded;
    bool m_Reading = false;              // guarded by m_Mutex
    std::shared_ptr<const Read> m_Read;  // guarded by m_Mutex
    std::thread m_Reader;                // UI thread and destructor only
    std::string m_Downloaded;            // worker only: the last package installed
};
