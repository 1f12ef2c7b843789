// The module's imports (web_host.h), handed on to the page's host object
// (Module.webHost, made in site/page.js). The waits use Asyncify.handleSleep: an
// answer that is already there comes back without suspending the module.
mergeInto(LibraryManager.library, {
  web_hid_list: function (ids, capacity) {
    var list = Module.webHost.hid.list();
    var n = Math.min(list.length, capacity);
    for (var i = 0; i < n; i++) HEAP32[(ids >> 2) + i] = list[i];
    return n;
  },
  web_hid_attributes: function (id, vendorId, productId, version) {
    var a = Module.webHost.hid.attributes(id);
    if (!a) return 0;
    HEAPU16[vendorId >> 1] = a.vendorId;
    HEAPU16[productId >> 1] = a.productId;
    HEAPU16[version >> 1] = a.version;
    return 1;
  },
  web_hid_open: function (id) {
    return Asyncify.handleSleep(function (wakeUp) { Module.webHost.hid.open(id, wakeUp); });
  },
  web_hid_listen: function (id, on) { Module.webHost.hid.listen(id, on !== 0); },
  web_hid_write: function (id, payload, timeoutMs) {
    // A copy: the module's buffer is free again whatever becomes of the send.
    var bytes = HEAPU8.slice(payload, payload + 64);
    return Asyncify.handleSleep(function (wakeUp) {
      Module.webHost.hid.write(id, bytes, timeoutMs, wakeUp);
    });
  },
  web_hid_read: function (id, payload, timeoutMs) {
    return Asyncify.handleSleep(function (wakeUp) {
      Module.webHost.hid.read(id, timeoutMs, function (status, bytes) {
        if (bytes) HEAPU8.set(bytes, payload);
        wakeUp(status);
      });
    });
  },
  web_sleep: function (ms) {
    return Asyncify.handleSleep(function (wakeUp) { Module.webHost.sleep(ms, wakeUp); });
  },
  web_ui_title: function (text) { Module.webHost.ui.title(UTF8ToString(text)); },
  web_ui_message: function (text, caption, okCancel) {
    var t = UTF8ToString(text), c = UTF8ToString(caption);
    return Asyncify.handleSleep(function (wakeUp) {
      Module.webHost.ui.message(t, c, okCancel !== 0, wakeUp);
    });
  },
  web_ui_progress: function (position) {
    return Asyncify.handleSleep(function (wakeUp) {
      Module.webHost.ui.progress(position, function () { wakeUp(0); });
    });
  },
  web_ui_enable_update: function (enable) { Module.webHost.ui.enableUpdate(enable !== 0); },
  web_ui_done_label: function () { Module.webHost.ui.doneLabel(); },
  web_ui_choose_file: function (label, path, capacity) {
    var l = UTF8ToString(label);
    return Asyncify.handleSleep(function (wakeUp) {
      Module.webHost.ui.chooseFile(l, function (chosen) {
        if (!chosen) { wakeUp(0); return; }
        stringToUTF8(chosen, path, capacity);
        wakeUp(1);
      });
    });
  },
  web_log: function (line) { Module.webHost.log(UTF8ToString(line)); },
  web_file_size: function (path) {
    var bytes = Module.pageFiles && Module.pageFiles.get(UTF8ToString(path));
    return bytes ? bytes.length : -1;
  },
  web_file_copy: function (path, into) { HEAPU8.set(Module.pageFiles.get(UTF8ToString(path)), into); },
});
