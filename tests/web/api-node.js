// Drives fenwa.js from Node.js, as any program may: converts every file of a
// folder, dumps, summarises, draws and makes what the arguments name, and
// compares the sample with an edited copy, every option left to its default,
// and makes a description fenwamake refuses. Prints one JSON line a call,
// bytes in base64, for test_page.py to compare with the native programs.
// Usage: node api-node.js FENWA_JS INPUT_FOLDER SAMPLE_JSON EDITED_JSON REFUSED_JSON
'use strict';
const fs = require('fs');
const path = require('path');

const [fenwaJs, folder, sampleJson, editedJson, refusedJson] = process.argv.slice(2);
const createFenwa = require(path.resolve(fenwaJs));

const base64 = (bytes) => Buffer.from(bytes).toString('base64');

createFenwa().then((fenwa) => {
  const print = (call, name, result) => {
    const line = {call, name};
    for (const [key, value] of Object.entries(result)) line[key] = value instanceof Uint8Array ? base64(value) : value;
    process.stdout.write(JSON.stringify(line) + '\n');
  };
  for (const name of fs.readdirSync(folder).sort()) {
    const bytes = fs.readFileSync(path.join(folder, name));
    print('convert', name, fenwa.convert(bytes, name));
    print('identify', name, {kind: fenwa.identify(bytes)});
  }
  const sample = fs.readFileSync(sampleJson, 'utf8');
  const made = fenwa.make(sample, path.basename(sampleJson));
  print('make', path.basename(sampleJson), made);
  const image = fenwa.convert(made.file, 'sample.dat').image;
  print('dump', 'fenwaimg.pdb', fenwa.dump(image, 'fenwaimg.pdb'));
  print('summary', 'fenwaimg.pdb', fenwa.summary(image, 'fenwaimg.pdb'));
  print('draw', 'fenwaimg.pdb', fenwa.draw(image, 'fenwaimg.pdb', {view: 'graph'}));
  print('make', path.basename(refusedJson), fenwa.make(fs.readFileSync(refusedJson), path.basename(refusedJson)));
  print('diff', 'old new', fenwa.diff(fs.readFileSync(sampleJson), fs.readFileSync(editedJson)));
}, (failure) => {
  process.stderr.write('api-node.js: ' + failure + '\n');
  process.exit(1);
});
