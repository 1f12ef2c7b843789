#pragma once
// What the page's JavaScript provides to the WebAssembly module
// (web_library.js). The calls marked "suspends" are Asyncify imports: the
// module's stack is saved while the browser waits, and each such wait ends
// on its own bound, on the device leaving or on a stop (web_host_wake).
#include <cstdint>

extern "C" {

// --- WebHID: devices this page was granted, by the page's own ids ---
// Ids of the granted devices present now, written to ids (at most capacity);
// the count.
int web_hid_list(int* ids, int capacity);
// 1 with the ids' attributes, 0 when the device is gone.
int web_hid_attributes(int id, std::uint16_t* vendorId, std::uint16_t* productId,
                       std::uint16_t* version);
// Suspends until the device is open (1) or cannot be opened (0).
int web_hid_open(int id);
// Input reports are queued from listen(id, 1) (an empty queue) until listen(id, 0).
void web_hid_listen(int id, int on);
// Suspends until sendReport has taken the 64 bytes (1), or failed, timed out
// after timeoutMs, the device left or a stop came (0).
int web_hid_write(int id, const std::uint8_t* payload64, std::uint32_t timeoutMs);
// Suspends until a report is copied to payload64 (0), timeoutMs has passed or
// a stop came (1), the device has left (2), or it failed (3).
int web_hid_read(int id, std::uint8_t* payload64, std::uint32_t timeoutMs);

// --- Clock ---
// Suspends for ms milliseconds; 0 when a stop ended it early.
int web_sleep(std::uint32_t ms);

// --- The page (UTF-8 texts) ---
void web_ui_title(const char* text);
// Suspends until the user answers the modal message: 1 OK, 2 Cancel.
int web_ui_message(const char* text, const char* caption, int okCancel);
// Suspends for one turn of the event loop when the position changed, so the
// page repaints and handles input during an update.
void web_ui_progress(int position);
void web_ui_enable_update(int enable);
void web_ui_done_label();
// Suspends until the user picked a package (its path among the page's files,
// at most capacity bytes with the terminator; 1) or gave up (0).
int web_ui_choose_file(const char* filterLabel, char* path, int capacity);
void web_log(const char* line);

// --- The page's files (site/module_files.js), kept by the page ---
// The size of the file at path, -1 when there is none.
double web_file_size(const char* path);
// Copies the whole file at path to into (web_file_size bytes).
void web_file_copy(const char* path, std::uint8_t* into);
}
