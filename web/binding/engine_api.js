// The engine's calls as the page and the worker use them: rules(), check(),
// fix() and encode() on the module object. Joined to the module's own code
// at build time (--post-js), inside the factory createVeltraneEngine().

var veltraneUtf8 = typeof TextDecoder !== 'undefined' ? new TextDecoder('utf-8', {ignoreBOM: true}) : null;

// `length` bytes at `pointer` in the module's memory, copied out.
function veltraneCopyBytes(pointer, length) {
  return HEAPU8.slice(pointer, pointer + length);
}

function veltraneUtf8Text(pointer, length) {
  var view = HEAPU8.subarray(pointer, pointer + length);
  if (veltraneUtf8) return veltraneUtf8.decode(view);
  return UTF8ArrayToString(HEAPU8, pointer, length);
}

var veltraneUtf16 = typeof TextDecoder !== 'undefined' ? new TextDecoder('utf-16le', {ignoreBOM: true}) : null;

// UTF-16 units at `pointer` as a string. Lone surrogates, which stand for
// bytes that are no character, must stay as they are, which the decoder
// (much the faster) would not do: with `escaped`, char codes.
function veltraneUtf16Text(pointer, length, escaped) {
  if (!escaped && veltraneUtf16) return veltraneUtf16.decode(HEAPU8.subarray(pointer, pointer + 2 * length));
  var units = HEAPU16.subarray(pointer >> 1, (pointer >> 1) + length);
  var parts = [];
  for (var i = 0; i < units.length; i += 8192)
    parts.push(String.fromCharCode.apply(null, units.subarray(i, i + 8192)));
  return parts.join('');
}

function veltraneJson() {
  return JSON.parse(veltraneUtf8Text(Module['_vlt_json'](), Module['_vlt_json_size']()));
}

function veltraneBytes(i) {
  return veltraneCopyBytes(Module['_vlt_bytes'](i), Module['_vlt_bytes_size'](i));
}

function veltraneUtf8Output(i) {
  return veltraneUtf8Text(Module['_vlt_bytes'](i), Module['_vlt_bytes_size'](i));
}

function veltraneText(i) {
  return veltraneUtf16Text(Module['_vlt_text'](i), Module['_vlt_text_size'](i),
                           Module['_vlt_text_escaped'](i));
}

// Copies a string into the module's memory as UTF-8 with a final NUL.
function veltraneCString(text) {
  var size = lengthBytesUTF8(text) + 1;
  var pointer = _malloc(size);
  stringToUTF8(text, pointer, size);
  return pointer;
}

// Runs `call(bytesPointer, size, requestPointer)` on `bytes` and `request`.
function veltraneWithInput(bytes, request, call) {
  if (!(bytes instanceof Uint8Array)) throw new TypeError('bytes must be a Uint8Array');
  var options = {};
  for (var key in request) {
    if (key !== 'onProgress') options[key] = request[key];
  }
  options.utf8Decoder = veltraneUtf8 !== null;
  var pointer = _malloc(Math.max(1, bytes.length));
  if (!pointer) return false;
  HEAPU8.set(bytes, pointer);
  var requestPointer = veltraneCString(JSON.stringify(options));
  try {
    return call(pointer, bytes.length, requestPointer);
  } finally {
    _free(requestPointer);
    _free(pointer);
  }
}

function veltraneProgress(request, fraction, phase) {
  if (request && typeof request.onProgress === 'function') request.onProgress(fraction, phase);
}

function veltraneTooLarge() {
  return {ok: false, error: 'the file is too large for the memory this browser gives the page'};
}

Module['rules'] = function() {
  Module['_vlt_rules']();
  var rules = veltraneJson();
  Module['_vlt_release']();
  return rules;
};

// How many findings each piece of the findings' JSON holds.
var VELTRANE_FINDINGS_PIECE = 20000;

// The findings of the check just made, read in pieces (see vlt_findings).
function veltraneFindings(request) {
  var count = Module['_vlt_finding_count']();
  var findings = [];
  for (var from = 0; from < count; from += VELTRANE_FINDINGS_PIECE) {
    if (!Module['_vlt_findings'](from, VELTRANE_FINDINGS_PIECE)) return veltraneJson();
    var piece = veltraneJson();
    for (var i = 0; i < piece.length; ++i) findings.push(piece[i]);
    veltraneProgress(request, 0.8 + 0.19 * Math.min(1, (from + piece.length) / count), 'formatting');
  }
  return findings;
}

Module['check'] = function(bytes, request) {
  request = request || {};
  veltraneProgress(request, 0, 'reading');
  var result;
  try {
    result = veltraneWithInput(bytes, request, function(data, size, options) {
      veltraneProgress(request, 0.1, 'checking');
      Module['_vlt_check'](data, size, options);
      veltraneProgress(request, 0.8, 'formatting');
      // Everything is read while the bytes are still in the module's
      // memory: the findings' places are counted in them.
      var result = veltraneJson();
      if (!result.ok) return result;
      // The gnu lines, the SARIF log, the protocol and the text are made
      // unless the request says false for them.
      result.gnu = request.gnu === false ? null : veltraneUtf8Output(0);
      result.sarif = request.sarif === false ? null : veltraneUtf8Output(1);
      result.protocolBytes = request.protocol === false ? null : veltraneBytes(2);
      result.protocol = request.protocol === false ? null : veltraneText(1);
      if (request.text === false) {
        result.text = null;
      } else if (Module['_vlt_text_is_utf8']()) {
        result.text = veltraneUtf8.decode(bytes);
      } else {
        result.text = veltraneText(0);
      }
      var findings = veltraneFindings(request);
      if (!Array.isArray(findings)) return findings;
      result.findings = findings;
      return result;
    });
  } catch (e) {
    Module['_vlt_release']();
    if (e instanceof RangeError) return veltraneTooLarge();
    throw e;
  }
  Module['_vlt_release']();
  if (result === false) return veltraneTooLarge();
  veltraneProgress(request, 1, 'done');
  return result;
};

Module['fix'] = function(bytes, request) {
  request = request || {};
  var done;
  try {
    done = veltraneWithInput(bytes, request, function(data, size, options) {
      return Module['_vlt_fix'](data, size, options);
    });
  } catch (e) {
    if (e instanceof RangeError) return veltraneTooLarge();
    throw e;
  }
  if (done === false) return veltraneTooLarge();
  var result = veltraneJson();
  if (result.ok) {
    result.bytes = veltraneBytes(0);
    result.diffBytes = veltraneBytes(1);
    result.diff = veltraneText(0);
  }
  Module['_vlt_release']();
  return result;
};

Module['encode'] = function(text, codePage, lineEnd) {
  text = String(text);
  var page = codePage === 'auto' || codePage === undefined || codePage === null ? 0 : Number(codePage);
  var pointer = _malloc(Math.max(2, text.length * 2));
  if (!pointer) return veltraneTooLarge();
  var lineEndPointer = veltraneCString(lineEnd ? String(lineEnd) : '');
  try {
    var base = pointer >> 1;
    for (var i = 0; i < text.length; ++i) HEAPU16[base + i] = text.charCodeAt(i);
    Module['_vlt_encode'](pointer, text.length, page, lineEndPointer);
  } finally {
    _free(lineEndPointer);
    _free(pointer);
  }
  var result = veltraneJson();
  if (result.ok) result.bytes = veltraneBytes(0);
  Module['_vlt_release']();
  return result;
};
