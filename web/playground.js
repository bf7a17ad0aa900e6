// The playground page: runs the assembler (assembler.js, the same C++ code
// as the orvix program, compiled to WebAssembly) on the text of the editor
// as the user types, as the command
//
//   orvix -W -f FORMAT NAME.asm NAME.EXT
//
// run in an empty directory would: the source is written to the module's
// in-memory file system, the console text is what the run prints on standard
// output, and the image is the file it writes. NAME is the example's name
// when the editor holds an example as bundled, "program" otherwise.
//
// The source (and the format) are kept in the page address's fragment, so a
// link reproduces the program, and in local storage between visits; a link
// wins over what was stored. Nothing is requested from anywhere after the
// page, its script and the module have loaded.

'use strict';

(() => {
  // The file name extension of each format's image.
  const EXTENSIONS = {mif: 'mif', readmemb: 'mem', readmemh: 'hex', coe: 'coe'};
  const TYPED_NAME = 'program';
  const DEFAULT_EXAMPLE = 'counter';
  const STORED_SOURCE = 'orvix.playground.source';
  const STORED_FORMAT = 'orvix.playground.format';
  const STORED_TYPED = 'orvix.playground.typed';

  const $ = (id) => document.getElementById(id);
  const ui = {
    example: $('example'),
    source: $('source'),
    gutter: $('gutter'),
    problems: $('problems'),
    format: $('format'),
    download: $('download'),
    status: $('status'),
    listing: document.querySelector('#listing tbody'),
    command: $('command'),
    console: $('console'),
    image: $('image'),
  };

  let assembler = null;     // the WebAssembly module
  let output = null;        // bytes the module prints, while they are wanted
  const examples = new Map();  // name -> text, line ends as an editor has them
  let download = null;      // {name, bytes} of the last image, or null
  let typed = '';           // the last text that was no example
  const written = new Set();   // files the page has put in the module

  // --- The run ------------------------------------------------------------

  // `text` with its line ends as an editor gives them: LF alone.
  const editorText = (text) => text.replace(/\r\n?/g, '\n');

  function nameOf(source) {
    for (const [name, text] of examples) {
      if (text === source) return name;
    }
    return TYPED_NAME;
  }

  function removeWritten() {
    for (const path of written) {
      try {
        assembler.FS.unlink(path);
      } catch (e) {
        // not there: the run did not write it
      }
    }
    written.clear();
  }

  // Calls the module's `name`, collecting what it prints when `keep`.
  function call(name, returns, types, args, keep) {
    output = keep ? [] : null;
    const result = assembler.ccall(name, returns, types, args);
    const printed = output;
    output = null;
    return {result, printed};
  }

  function assemble(source, format) {
    const name = nameOf(source);
    const sourcePath = name + '.asm';
    const imagePath = name + '.' + EXTENSIONS[format];
    removeWritten();
    written.add(sourcePath);
    written.add(imagePath);
    assembler.FS.writeFile(sourcePath, new TextEncoder().encode(source));

    const rows = [];
    const count = call('orvix_web_listing', 'number', ['string'], [sourcePath], false).result;
    for (let i = 0; i < count; i++) {
      rows.push({
        address: i,
        word: assembler.ccall('orvix_web_word', 'string', ['number'], [i]),
        line: assembler.ccall('orvix_web_line', 'number', ['number'], [i]),
        statement: assembler.ccall('orvix_web_statement', 'string', ['number'], [i]),
      });
    }

    const run = call('orvix_web_run', 'number', ['string', 'string', 'string'],
                     [format, sourcePath, imagePath], true);
    const image = run.result === 0 ? assembler.FS.readFile(imagePath) : null;
    return {
      name,
      sourcePath,
      imagePath,
      command: `orvix -W -f ${format} ${sourcePath} ${imagePath}`,
      status: run.result,
      console: new TextDecoder().decode(new Uint8Array(run.printed)),
      rows,
      image,
    };
  }

  // The located warnings and errors of the console, by source line, then the
  // lines that say why a run failed without a source line.
  function problemsOf(result) {
    const path = result.sourcePath.replace(/[.*+?^${}()|[\]\\]/g, '\\$&');
    const located = new RegExp('^' + path + ':(\\d+): (warning|error): ');
    const unlocated = /^(Too many statements|Error reading|Cannot write)/;
    const problems = [];
    for (const text of result.console.split('\n')) {
      const match = located.exec(text);
      if (match) {
        problems.push({line: Number(match[1]), kind: match[2], text});
      } else if (unlocated.test(text)) {
        problems.push({line: Infinity, kind: 'error', text});
      }
    }
    return problems.sort((a, b) => (a.line === b.line ? 0 : a.line < b.line ? -1 : 1));
  }

  // --- Showing a run -----------------------------------------------------

  function element(tag, text, className) {
    const e = document.createElement(tag);
    if (text !== undefined) e.textContent = text;
    if (className) e.className = className;
    return e;
  }

  function showGutter(source, problems) {
    const worst = new Map();
    for (const p of problems) {
      if (worst.get(p.line) !== 'error') worst.set(p.line, p.kind);
    }
    const lines = source.split('\n').length;
    const numbers = [];
    for (let n = 1; n <= lines; n++) {
      const row = element('div', String(n), worst.get(n));
      row.dataset.line = n;
      numbers.push(row);
    }
    ui.gutter.replaceChildren(...numbers);
    ui.gutter.scrollTop = ui.source.scrollTop;
  }

  function goToLine(line) {
    const lines = ui.source.value.split('\n');
    let at = 0;
    for (let n = 1; n < line && n <= lines.length; n++) at += lines[n - 1].length + 1;
    ui.source.focus();
    ui.source.setSelectionRange(at, at + (lines[line - 1] || '').length);
  }

  function showProblems(problems) {
    ui.problems.replaceChildren(...problems.map((p) => {
      const item = element('li', undefined, p.kind);
      const button = element('button', p.text);
      button.type = 'button';
      if (p.line !== Infinity) {
        button.dataset.line = p.line;
        button.addEventListener('click', () => goToLine(p.line));
      }
      item.append(button);
      return item;
    }));
  }

  function showListing(rows) {
    ui.listing.replaceChildren(...rows.map((r) => {
      const tr = document.createElement('tr');
      tr.append(
          element('td', r.address.toString(16).padStart(2, '0')),
          element('td', r.word),
          element('td', parseInt(r.word, 2).toString(16).padStart(3, '0')),
          element('td', String(r.line)),
          element('td', r.statement));
      return tr;
    }));
  }

  function show(source, result) {
    const problems = problemsOf(result);
    showGutter(source, problems);
    showProblems(problems);
    showListing(result.rows);
    ui.command.textContent = result.command;
    ui.console.textContent = result.console;
    if (result.image) {
      download = {name: result.imagePath, bytes: result.image};
      ui.image.textContent = new TextDecoder().decode(result.image);
      ui.status.textContent = `${result.imagePath}: ${result.rows.length} of 32 words used`;
      ui.status.className = '';
    } else {
      download = null;
      ui.image.textContent = '';
      ui.status.textContent = `failed (exit status ${result.status}): no image`;
      ui.status.className = 'failed';
    }
    ui.download.disabled = download === null;
    ui.example.value = examples.has(result.name) ? result.name : '';
  }

  // --- Keeping the source --------------------------------------------------

  // The fragment's fields: "#src=...&format=...", each URI-encoded.
  function fragmentFields() {
    const fields = new Map();
    for (const part of location.hash.replace(/^#/, '').split('&')) {
      const eq = part.indexOf('=');
      if (eq < 0) continue;
      try {
        fields.set(part.slice(0, eq), decodeURIComponent(part.slice(eq + 1)));
      } catch (e) {
        // a field that is not URI-encoded text is no field of ours
      }
    }
    return fields;
  }

  function keep(source, format) {
    if (nameOf(source) === TYPED_NAME) typed = source;
    let fragment = '#src=' + encodeURIComponent(source);
    if (format !== 'mif') fragment += '&format=' + format;
    try {
      history.replaceState(null, '', fragment);
    } catch (e) {
      // an address longer than the browser takes: the storage still keeps it
    }
    try {
      localStorage.setItem(STORED_SOURCE, source);
      localStorage.setItem(STORED_FORMAT, format);
      localStorage.setItem(STORED_TYPED, typed);
    } catch (e) {
      // storage refused (private mode, quota): the link still keeps it
    }
  }

  function stored(key) {
    try {
      return localStorage.getItem(key);
    } catch (e) {
      return null;
    }
  }

  // The source and format to start with: a link's, else the stored ones,
  // else the default example.
  function initial() {
    const fields = fragmentFields();
    const isFormat = (f) => f !== null && f !== undefined && f in EXTENSIONS;
    if (fields.has('src')) {
      const format = fields.get('format');
      return {source: editorText(fields.get('src')), format: isFormat(format) ? format : 'mif'};
    }
    const source = stored(STORED_SOURCE);
    const format = stored(STORED_FORMAT);
    return {
      source: source !== null ? source : examples.get(DEFAULT_EXAMPLE) || '',
      format: isFormat(format) ? format : 'mif',
    };
  }

  // --- Wiring --------------------------------------------------------------

  // A run that did not complete: nothing of an earlier run may stay on show
  // as if it were this one's.
  function showBroken(error) {
    download = null;
    ui.download.disabled = true;
    ui.listing.replaceChildren();
    ui.problems.replaceChildren();
    ui.console.textContent = '';
    ui.image.textContent = '';
    ui.status.textContent = 'the assembler stopped: ' + error;
    ui.status.className = 'failed';
  }

  function update() {
    const source = ui.source.value;
    const format = ui.format.value;
    try {
      show(source, assemble(source, format));
    } catch (error) {
      showBroken(error);
    }
    keep(source, format);
  }

  function load(source, format) {
    ui.source.value = source;
    ui.format.value = format;
    update();
  }

  function saveImage() {
    if (download === null) return;
    const url = URL.createObjectURL(new Blob([download.bytes], {type: 'application/octet-stream'}));
    const a = element('a');
    a.href = url;
    a.download = download.name;
    document.body.append(a);
    a.click();
    a.remove();
    setTimeout(() => URL.revokeObjectURL(url), 10000);
  }

  function loadExamples() {
    const FS = assembler.FS;
    const names = FS.readdir('/examples').filter((f) => f.endsWith('.asm')).sort();
    for (const file of names) {
      const name = file.slice(0, -4);
      examples.set(name, editorText(FS.readFile('/examples/' + file, {encoding: 'utf8'})));
      const option = element('option', name);
      option.value = name;
      ui.example.append(option);
    }
  }

  function start(module) {
    assembler = module;
    loadExamples();
    ui.source.disabled = false;
    ui.source.addEventListener('input', update);
    ui.source.addEventListener('scroll', () => {
      ui.gutter.scrollTop = ui.source.scrollTop;
    });
    ui.format.addEventListener('change', update);
    // Opening an example keeps what was typed: "(your program)" brings it back.
    ui.example.addEventListener('change', () => {
      const name = ui.example.value;
      load(examples.has(name) ? examples.get(name) : typed, ui.format.value);
    });
    ui.download.addEventListener('click', saveImage);
    window.addEventListener('hashchange', () => {
      const {source, format} = initial();
      if (source !== ui.source.value || format !== ui.format.value) load(source, format);
    });
    typed = stored(STORED_TYPED) || '';
    const {source, format} = initial();
    load(source, format);
    document.body.dataset.ready = 'true';
  }

  let errorLine = '';
  createAssembler({
    stdout: (byte) => {
      if (output !== null) output.push(byte);
    },
    // Only the report that standard output failed goes to standard error.
    stderr: (byte) => {
      if (byte !== 10) {
        errorLine += String.fromCharCode(byte);
        return;
      }
      console.error(errorLine);
      errorLine = '';
    },
  }).then(start, (error) => {
    ui.status.textContent = 'The assembler could not be loaded: ' + error;
    ui.status.className = 'failed';
  });
})();
