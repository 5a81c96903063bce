// The JavaScript API of fenwa.js (appended to the module by Emscripten's
// --post-js): the library's calls with their defaults, taking bytes as a
// Uint8Array (or an ArrayBuffer) and text as a string. Each returns what the
// program it stands for would: its exit status, what it prints and what it
// writes. Documented in README.md, "The JavaScript API".

function fenwaBytes(bytes, what) {
  if (bytes instanceof ArrayBuffer) return new Uint8Array(bytes);
  if (ArrayBuffer.isView(bytes)) return new Uint8Array(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  throw new TypeError(what + ' must be a Uint8Array or an ArrayBuffer');
}

function fenwaName(name, otherwise) {
  return name === undefined ? otherwise : String(name);
}

// The kind of file: 'intermediate', 'database', 'description', 'intermediate dump',
// 'database dump', 'unknown dump', 'json' (JSON fenwamake refuses) or 'unknown'.
Module['identify'] = function (bytes) {
  return Module['rawIdentify'](fenwaBytes(bytes, 'bytes'));
};

// A name as Unicode text: a surrogate without its pair, which is no character
// (and which Embind's UTF-8 would join with the character behind it), as U+FFFD.
function fenwaText(name) {
  return name.replace(/[\uD800-\uDBFF](?![\uDC00-\uDFFF])|(?<![\uD800-\uDBFF])[\uDC00-\uDFFF]/g, '\uFFFD');
}

// fenwaimg NAME: {status, console (Shift_JIS bytes), error (standard error), image (fenwaimg.pdb, empty on failure)};
// the converter gets NAME in Shift_JIS, each character Shift_JIS cannot hold as '?'.
Module['convert'] = function (bytes, name) {
  return Module['rawConvert'](fenwaBytes(bytes, 'bytes'), fenwaText(fenwaName(name, 'network.dat')));
};

// fenwadump NAME: {status, out (the JSON dump), err}.
Module['dump'] = function (bytes, name) {
  return Module['rawDump'](fenwaBytes(bytes, 'bytes'), fenwaName(name, 'fenwaimg.pdb'));
};

// fenwadump --summary NAME: {status, out, err}.
Module['summary'] = function (bytes, name) {
  return Module['rawSummary'](fenwaBytes(bytes, 'bytes'), fenwaName(name, 'fenwaimg.pdb'));
};

// fenwadump --dot=VIEW [--only=ONLY] NAME: {status, out (Graphviz text), err};
// options.view is 'network' (the default) or 'graph', options.only
// 'company:NAME' or 'route:NAME'.
Module['draw'] = function (bytes, name, options) {
  const view = (options && options.view) || 'network';
  const only = (options && options.only) || '';
  return Module['rawDraw'](fenwaBytes(bytes, 'bytes'), fenwaName(name, 'fenwaimg.pdb'), String(view), String(only));
};

// fenwadump --diff [--json | --dot] OLD NEW: {status (0 the same network, 1 they differ, 2 a file
// cannot be compared), out, err}; options.oldName and options.newName are the names the output
// shows ('old' and 'new' by default), options.output 'text' (the default), 'json' or 'dot'.
Module['diff'] = function (oldBytes, newBytes, options) {
  const given = options || {};
  return Module['rawDiff'](fenwaBytes(oldBytes, 'oldBytes'), fenwaName(given.oldName, 'old'),
                           fenwaBytes(newBytes, 'newBytes'), fenwaName(given.newName, 'new'),
                           String(given.output || 'text'));
};

// fenwamake [--accept-damage] NAME OUT: {status, out, err, file (the intermediate data file, empty on failure),
// refusal (null, or when the document is refused {message, line, column, path}: what is wrong, where in
// the text, and the field it is about, '' when none)}; json is text or its UTF-8 bytes.
Module['make'] = function (json, name, options) {
  const text = typeof json === 'string' ? json : fenwaBytes(json, 'json');
  return Module['rawMake'](text, fenwaName(name, 'network.json'), Boolean(options && options.acceptDamage));
};
