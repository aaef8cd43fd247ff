// SPDX-License-Identifier: MIT
// Varnhold in a browser. The core module (the program's own C++ compiled to
// WebAssembly) decides every byte of a picture, every name and every code;
// this script reads the bytes the core asks for, composes the results and
// says them in words. A picture is a Blob of the record start, the chosen
// File itself and zero fill, and a restored file is a slice of the picture,
// so no file is ever read whole.

const ZERO_CHUNK = 1 << 20;

/**
 * Instantiates the core from its WebAssembly bytes and returns
 * `process(file, divisor, fraction)`, which gives {code, unpacking, name,
 * blob, renamed} when there is a file to offer (renamed: a browser may save it
 * under another name) and {code, unpacking, why} when there is none (why: the
 * core's wording). `process.exports` is the core itself.
 */
export async function loadCore(wasmBytes) {
  const { instance } = await WebAssembly.instantiate(wasmBytes, {});
  const core = instance.exports;
  core._initialize();
  const encoder = new TextEncoder();
  const decoder = new TextDecoder();
  const zeros = new Uint8Array(ZERO_CHUNK);
  const nothing = new Uint8Array(0);

  // Writes byte strings one after another into the core's buffer; gives their lengths.
  const put = (...parts) => {
    const total = parts.reduce((sum, part) => sum + part.length, 0);
    const at = core.varnhold_buffer(total); // the memory may grow: views are made after this call
    let offset = 0;
    for (const part of parts) {
      new Uint8Array(core.memory.buffer, at + offset, part.length).set(part);
      offset += part.length;
    }
    return parts.map((part) => part.length);
  };
  const answer = () => new Uint8Array(core.memory.buffer, core.varnhold_buffer(0), core.varnhold_answer_length());
  const offeredName = () => decoder.decode(answer().subarray(0, core.varnhold_name_length()));
  const checked = (code) => {
    if (code < 0) throw new Error("the core refused the page's arguments");
    return code;
  };

  // Bytes `from` to `to` of `file`; nothing when they cannot be read (a
  // folder, a file removed or changed since it was chosen).
  async function read(file, from, to) {
    try {
      return new Uint8Array(await file.slice(from, to).arrayBuffer());
    } catch {
      return null;
    }
  }
  // As the program opens its input before anything else, the page first
  // reads the file where it starts and where it ends.
  const readable = async (file) =>
    (await read(file, 0, 1)) !== null && (await read(file, Math.max(file.size - 1, 0), file.size)) !== null;

  async function encode(file, divisor, fraction) {
    const ok = await readable(file);
    const lengths = put(encoder.encode(file.name), encoder.encode(divisor), encoder.encode(fraction));
    const code = checked(core.varnhold_encode(...lengths, file.size, ok ? 1 : 0));
    if (code !== 0) return { code, unpacking: false, why: decoder.decode(answer()) };
    const name = offeredName();
    const parts = [answer().slice(core.varnhold_name_length()), file];
    for (let left = core.varnhold_fill_length(); left > 0; left -= ZERO_CHUNK) {
      parts.push(left >= ZERO_CHUNK ? zeros : zeros.subarray(0, left));
    }
    const renamed = core.varnhold_may_be_renamed() === 1;
    return { code, unpacking: false, name, renamed, blob: new Blob(parts, { type: "image/bmp" }) };
  }

  async function decode(file) {
    const head = await read(file, 0, Math.min(file.size, core.varnhold_headers_length()));
    const ok = head !== null && (await readable(file));
    let code = checked(core.varnhold_locate(...put(head ?? nothing), file.size, ok ? 1 : 0));
    if (code === 0) {
      const from = core.varnhold_from();
      const record = await read(file, from, core.varnhold_to());
      const lengths = put(encoder.encode(file.name), record ?? nothing);
      code = checked(core.varnhold_restore(...lengths, from, file.size, record !== null ? 1 : 0));
    }
    if (code !== 0) return { code, unpacking: true, why: decoder.decode(answer()) };
    const blob = file.slice(core.varnhold_from(), core.varnhold_to(), "application/octet-stream");
    return { code, unpacking: true, name: offeredName(), renamed: core.varnhold_may_be_renamed() === 1, blob };
  }

  async function process(file, divisor = "", fraction = "") {
    const unpacking = checked(core.varnhold_is_picture(...put(encoder.encode(file.name)))) === 1;
    return unpacking ? decode(file) : encode(file, divisor, fraction);
  }
  process.exports = core;
  return process;
}

// The page: pick or drop a file, get the result offered for saving.
async function startPage() {
  const coreText = document.getElementById("varnhold-core").textContent.trim();
  const process = await loadCore(Uint8Array.from(atob(coreText), (c) => c.charCodeAt(0)));
  const input = document.getElementById("file");
  const result = document.getElementById("result");
  const fields = ["divisor", "fraction"].map((id) => document.getElementById(id));
  let current = null; // the file chosen last, packed again when a field changes
  let offered = null;
  let latest = 0;

  function show(file, outcome) {
    result.dataset.code = outcome.code;
    if (outcome.code !== 0) {
      let headline = outcome.unpacking ? "Not unpacked" : "Not packed";
      if (outcome.unpacking && outcome.code === 3) headline = "Not a picture made by Varnhold";
      if (outcome.failed) headline = "Failed";
      result.className = "refused";
      result.replaceChildren(`${headline}: ${outcome.why} (code ${outcome.code}). Nothing was made from ${file.name}.`);
      return;
    }
    offered = URL.createObjectURL(outcome.blob);
    const link = Object.assign(document.createElement("a"), { href: offered, download: outcome.name, id: "save" });
    link.textContent = outcome.name;
    const size = outcome.blob.size.toLocaleString("en");
    result.className = "done";
    result.replaceChildren(`${outcome.unpacking ? "Unpacked" : "Packed"}: save `, link, ` (code 0, ${size} bytes).`);
    if (outcome.renamed) {
      const note = Object.assign(document.createElement("span"), { id: "renamed" });
      note.textContent = ` Browsers may save a name that starts with a dot or ends in "~" or "." under another \
name (noext.bmp.~ as noext.bmp._, .hidden.bmp as hidden.bmp): rename the saved file to ${outcome.name} if they do.`;
      result.append(note);
    }
    link.focus();
  }

  async function handle(file) {
    const run = ++latest;
    if (offered) URL.revokeObjectURL(offered);
    offered = null;
    current = file;
    delete result.dataset.code;
    result.className = "";
    result.replaceChildren(`Working on ${file.name}…`);
    let outcome;
    try {
      outcome = await process(file, fields[0].value, fields[1].value);
    } catch (error) {
      outcome = { code: process.exports.varnhold_generic_failure(), failed: true, why: `the page met an error: ${error}` };
    }
    if (run !== latest) return; // a later choice or change has taken over
    if (outcome.unpacking) current = null; // the fields shape pictures only
    show(file, outcome);
  }

  input.addEventListener("change", () => {
    const file = input.files[0];
    input.value = ""; // so that choosing the same file again is a change too
    if (file) handle(file);
  });
  for (const field of fields) field.addEventListener("change", () => current && handle(current));
  const zone = document.getElementById("drop");
  const hover = (on) => (event) => {
    event.preventDefault();
    zone.classList.toggle("hover", on);
  };
  zone.addEventListener("dragover", hover(true));
  zone.addEventListener("dragleave", hover(false));
  zone.addEventListener("drop", (event) => {
    hover(false)(event);
    if (event.dataTransfer.files.length > 0) handle(event.dataTransfer.files[0]);
  });
  document.body.dataset.ready = "yes";
}

if (typeof document !== "undefined") startPage();
