// The playground page: runs the assembler (assembler.js, the same C++ code
// as the orvix program, compiled to WebAssembly) on the text of the editor
// as the user types, as the command
//
//   orvix -W -f FORMAT NAME.asm NAME.EXT
//
// run in an empty directory would. One call of the module per keystroke
// returns what the page shows: the listing's rows, the diagnostics at their
// lines, the console text that run prints and the bytes of the image it
// writes. NAME is the example's name when the editor holds an example as
// bundled, "program" otherwise. The formats, with their file name
// extensions, come from the module.
//
// The source (and the format) are kept in the page address's fragment, so a
// link reproduces the program, and in local storage between visits; a link
// wins over what was stored. Nothing is requested from anywhere after the
// page, its script and the module have loaded.
//
// A memory file pasted or opened below is read back as `orvix -d NAME`
// reads it; the program it gives can be opened in the editor.

'use strict';

(() => {
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
  const formats = new Map();   // name -> {name, title, extension, help}
  const examples = new Map();  // name -> text, line ends as an editor has them
  let download = null;      // {name, bytes} of the last image, or null
  let typed = '';           // the last text that was no example

  // --- The run ------------------------------------------------------------

  // `text` with its line ends as an editor gives them: LF alone.
  const editorText = (text) => text.replace(/\r\n?/g, '\n');

  function nameOf(source) {
    for (const [name, text] of examples) {
      if (text === source) return name;
    }
    return TYPED_NAME;
  }

  function assemble(source, format) {
    const name = nameOf(source);
    const run = assembler.assemble(source, format, name);
    return {
      name,
      command: run.command,
      status: run.status,
      console: new TextDecoder().decode(run.console),
      rows: run.rows,
      problems: problemsOf(run),
      imagePath: run.imageName,
      image: run.image,
    };
  }

  // The diagnostics by source line, then why a run failed when no
  // diagnostic says it.
  function problemsOf(run) {
    const problems = run.diagnostics.map((d) => ({line: d.line, kind: d.severity, text: d.text}));
    problems.sort((a, b) => a.line - b.line);
    if (run.failure !== '' && !problems.some((p) => p.kind === 'error')) {
      problems.push({line: Infinity, kind: 'error', text: run.failure.replace(/\n$/, '')});
    }
    return problems;
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
    const problems = result.problems;
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
    const isFormat = (f) => f !== null && f !== undefined && formats.has(f);
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

  function loadFormats() {
    for (const f of assembler.formats()) {
      formats.set(f.name, f);
      const option = element('option', f.name);
      option.value = f.name;
      option.dataset.extension = f.extension;
      option.title = f.help;
      ui.format.append(option);
    }
  }

  // --- Reading a memory file back ------------------------------------------

  // The program the last memory file read back gives, or null.
  let readBack = null;

  // Reads `text`, the file `name`, as orvix -d NAME does, and shows the
  // program or why there is none.
  function readImage(text, name) {
    const run = assembler.disassemble(text, name);
    const notes = run.diagnostics.map((d) => element('li', d.text, d.severity));
    $('readback-notes').replaceChildren(...notes);
    readBack = run.status === 0 ? run.source : null;
    $('readback-program').textContent = readBack === null ? '' : readBack;
    $('readback-edit').disabled = readBack === null;
  }

  function startReadBack() {
    const text = $('readback-text');
    const file = $('readback-file');
    let name = 'pasted';
    text.addEventListener('input', () => {
      name = 'pasted';
      readImage(text.value, name);
    });
    file.addEventListener('change', async () => {
      if (file.files.length === 0) return;
      name = file.files[0].name;
      text.value = await file.files[0].text();
      readImage(text.value, name);
    });
    // The program goes into the editor as typed text, which the page keeps.
    $('readback-edit').addEventListener('click', () => {
      if (readBack !== null) load(readBack, ui.format.value);
    });
  }

  function start(module) {
    assembler = module;
    loadFormats();
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
    startReadBack();
    typed = stored(STORED_TYPED) || '';
    const {source, format} = initial();
    load(source, format);
    document.body.dataset.ready = 'true';
  }

  createAssembler({
    // The module prints nothing of a run; anything it does print is a fault.
    print: (text) => console.error(text),
    printErr: (text) => console.error(text),
  }).then(start, (error) => {
    ui.status.textContent = 'The assembler could not be loaded: ' + error;
    ui.status.className = 'failed';
  });
})();
