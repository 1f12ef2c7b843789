// Values the page and the module agree on, named once: the device-change
// codes the dialog's OnDeviceChange takes (hid/hid_backend.h), the
// message box's answers (engine/update_ui.h, kIdOk and kIdCancel) and the
// names web_app_update gives an update's outcome (web_exports.cpp).
export const DEVICE_CHANGE = Object.freeze({ NODES_CHANGED: 7, ARRIVAL: 0x8000, REMOVE_COMPLETE: 0x8004 });
export const ANSWER = Object.freeze({ OK: 1, CANCEL: 2 });
export const OUTCOME = Object.freeze({ SUCCEEDED: 'succeeded', FAILED: 'failed', QUIET: 'quiet' });
