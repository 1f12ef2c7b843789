// The module's entry points for the page. The page holds the one WebApp by
// the pointer web_app_create returns; strings go out as UTF-8 the page frees.
#include <optional>
#include <string>
#include <vector>

#include <emscripten.h>

#include "base/utf.h"
#include "engine/firmware_selection.h"
#include "hid/hid.h"
#include "text/firmware_version.h"
#include "platform/web/inspect_json.h"
#include "platform/web/page_string.h"
#include "platform/web/web_app.h"
#include "station/unit_line.h"

namespace {

// The page knows an outcome by this name (site/codes.js, OUTCOME), never by
// the enum's position.
const char* OutcomeName(UpdateOutcome outcome)
{
    switch (outcome) {
    case UpdateOutcome::Succeeded: return "succeeded";
    case UpdateOutcome::Failed: return "failed";
    case UpdateOutcome::Quiet: return "quiet";
    }
    return "quiet";
}

// {"updated":1,"upToDate":0,"failed":0,"refused":0}
std::string CountersJson(const StationCounters& c)
{
    return "{\"updated\":" + std::to_string(c.updated) + ",\"upToDate\":" + std::to_string(c.upToDate) +
           ",\"failed\":" + std::to_string(c.failed) + ",\"refused\":" + std::to_string(c.refused) + "}";
}

std::string UnitJson(const UnitRecord& r, const StationCounters& counters)
{
    return "{\"family\":" + JsonQuoted(UnitFamily(r.unit)) +
           ",\"before\":" + JsonQuoted(UnitVersionText(r.versionBefore, r.versionKnown)) +
           ",\"after\":" + JsonQuoted(UnitVersionText(r.versionAfter, r.versionKnown)) +
           ",\"outcome\":" + JsonQuoted(::OutcomeName(r.outcome)) +
           ",\"message\":" + JsonQuoted(r.outcome == UnitOutcome::Updated ? "" : UnitMessage(r)) +
           ",\"counters\":" + CountersJson(counters) + "}";
}

}  // namespace

extern "C" {

// demo: 0 WebHID, 1 simulated stream controller, 2 simulated block controller.
EMSCRIPTEN_KEEPALIVE WebApp* web_app_create(int demo, int chinese)
{
    std::optional<DemoKind> kind;
    if (demo == 1)
        kind = DemoKind::Stream;
    else if (demo == 2)
        kind = DemoKind::Block;
    return new WebApp(kind, chinese != 0);
}

EMSCRIPTEN_KEEPALIVE void web_app_destroy(WebApp* app) { delete app; }
EMSCRIPTEN_KEEPALIVE void web_app_start(WebApp* app) { app->Start(); }
// 1 handled, 0 only noted (an update runs; it never suspends then).
EMSCRIPTEN_KEEPALIVE int web_app_device_change(WebApp* app, std::uint32_t code)
{
    return app->DeviceChange(code) ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE char* web_app_update(WebApp* app) { return PageString(OutcomeName(app->Update())); }
// 1 when the page is to send one code 7 after the update that just ended.
EMSCRIPTEN_KEEPALIVE int web_app_take_deferred_change(WebApp* app) { return app->TakeDeferredChange() ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE void web_app_stop(WebApp* app) { app->RequestStop(); }
// Why the last package selection planned no transfer: "" when it did.
EMSCRIPTEN_KEEPALIVE char* web_app_last_refusal(WebApp* app)
{
    return PageString(SelectionRefusalCode(app->LastRefusal()));
}

// The attached controller as the engine knows it, for the page's own line:
// {"family":"stream"|"block","release":"1.37","beta":0}, "release" empty for
// a controller without firmware; "" while no version is known.
EMSCRIPTEN_KEEPALIVE char* web_app_connected(WebApp* app)
{
    const std::optional<WebApp::Connected> c = app->ConnectedController();
    if (!c)
        return PageString("");
    const FirmwareVersionWord word(c->version);
    const std::string release =
        c->version == kNoFirmwareVersion ? "" : ReleaseText(c->version);
    return PageString("{\"family\":" + JsonQuoted(std::string(FamilyName(c->protocolVariant))) +
                ",\"release\":\"" + release + "\",\"beta\":" + std::to_string(word.Beta()) + "}");
}

// Text `index` in the language the app was created with.
EMSCRIPTEN_KEEPALIVE char* web_text(int index) { return PageString(Utf16ToUtf8(LoadText(index))); }

EMSCRIPTEN_KEEPALIVE char* web_inspect(const char* path)
{
    return PageString(InspectJson(Utf8ToUtf16(path)));
}

// [[vendorId, productId], ...]: the device chooser's filter.
EMSCRIPTEN_KEEPALIVE char* web_supported_controllers()
{
    std::string json;
    for (const SupportedController& c : SupportedControllers())
        json += (json.empty() ? "[" : ",") + std::string("[") + std::to_string(c.vendorId) + "," +
                std::to_string(c.productId) + "]";
    return PageString(json + "]");
}
}

// --- Station mode (site/station.js) ---
extern "C" {
// The granted controllers present now: count triples of id, vendor id and
// product id, in the order they connected. Never suspends.
EMSCRIPTEN_KEEPALIVE void web_station_reconcile(WebApp* app, const std::int32_t* devices, int count)
{
    std::vector<WebStation::Present> present;
    for (int i = 0; i < count; ++i)
        present.push_back({devices[3 * i], static_cast<std::uint16_t>(devices[3 * i + 1]),
                           static_cast<std::uint16_t>(devices[3 * i + 2])});
    app->Station().Reconcile(present);
}

// How many units wait for their turn. Never suspends.
EMSCRIPTEN_KEEPALIVE int web_station_queued(WebApp* app) { return static_cast<int>(app->Station().Queued()); }

// Runs the next queued unit with the package at path (suspends); its
// record as {"family","before","after","outcome","message","counters"}, or
// "" once none is queued.
EMSCRIPTEN_KEEPALIVE char* web_station_run_next(WebApp* app, const char* package)
{
    WebStation& station = app->Station();
    const std::optional<UnitRecord> record = station.RunNext(Utf8ToUtf16(package));
    return PageString(record ? UnitJson(*record, station.Counters()) : "");
}
}
