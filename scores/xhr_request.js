// The browser's side of scores/xhr_request.cpp, linked with --js-library.
// Runs on the calling thread: a web worker, where a synchronous request
// does not hold up the page.
mergeInto(LibraryManager.library, {
  munchet_http_request: function (method, url, body, bodyLength, timeoutMs, status, answer, answerLength) {
    var request = new XMLHttpRequest();
    try {
      request.open(UTF8ToString(method), UTF8ToString(url), false);
      request.responseType = 'arraybuffer';
      request.timeout = timeoutMs;
    } catch (e) {
      return 3;
    }
    var sent = null;
    if (body) {
      // The heap is shared between threads; a request takes only a plain copy.
      sent = new Uint8Array(bodyLength);
      sent.set(HEAPU8.subarray(body, body + bodyLength));
      request.setRequestHeader('Content-Type', 'application/octet-stream');
    }
    try {
      request.send(sent);
    } catch (e) {
      return e && e.name === 'TimeoutError' ? 1 : 2;
    }
    if (request.status === 0) return 2;
    HEAP32[status >> 2] = request.status;
    var bytes = new Uint8Array(request.response || new ArrayBuffer(0));
    HEAP32[answerLength >> 2] = bytes.length;
    HEAP32[answer >> 2] = 0;
    if (bytes.length > 0) {
      var copy = _malloc(bytes.length);
      if (!copy) return 3;
      HEAPU8.set(bytes, copy);
      HEAP32[answer >> 2] = copy;
    }
    return 0;
  },
  munchet_http_request__deps: ['malloc'],
});
