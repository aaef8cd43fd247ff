// SPDX-License-Identifier: MIT
// Varnhold in a browser. The core module (the program's own C++ compiled to
// WebAssembly) decides every byte of a picture and every refusal; this script
// only moves bytes: a picture is a Blob of the record start, the dropped File
// itself and zero fill, and a restored file is a slice of the picture, so no
// file is ever read whole.

/** What each refusal's exit code means. */
const MEANINGS = {
  1: "the file cannot be read, or is longer than 268,435,456 bytes (256 MiB)",
  3: "the picture ends before its record is complete, or its stored extension cannot name a file",
  4: "the picture holds fewer bytes than its record states",
};

const ZERO_CHUNK = 1 << 20;

/**
 * Instantiates the core from its WebAssembly bytes and returns
 * `process(file, divisor, fraction)`, which gives {code, name, blob} on
 * success and {code, fault} when refused (fault: the arithmetic failure's
 * wording, or empty).
 */
export async function loadCore(wasmBytes) {
  const { instance } = await WebAssembly.instantiate(wasmBytes, {});
  const core = instance.exports;
  core._initialize();
  const bytes = () => new Uint8Array(core.memory.buffer, core.varnhold_buffer(), core.varnhold_buffer_size());
  const answer = () => bytes().slice(0, core.varnhold_answer_length());
  const utf8 = new TextDecoder();
  const cString = (pointer) => {
    const memory = new Uint8Array(core.memory.buffer, pointer);
    return utf8.decode(memory.subarray(0, memory.indexOf(0)));
  };
  const pictureSuffix = cString(core.varnhold_picture_suffix());
  const zeros = new Uint8Array(ZERO_CHUNK);

  // Writes the texts one after another into the buffer; gives their lengths.
  const put = (...texts) => {
    const encoded = texts.map((text) => new TextEncoder().encode(text));
    const total = encoded.reduce((sum, part) => sum + part.length, 0);
    if (total > core.varnhold_buffer_size()) throw new RangeError("name too long");
    let offset = 0;
    for (const part of encoded) {
      bytes().set(part, offset);
      offset += part.length;
    }
    return encoded.map((part) => part.length);
  };
  const refused = (code) => ({ code, fault: core.varnhold_faulted() ? utf8.decode(answer()) : "" });

  async function encode(file, divisor, fraction) {
    const code = core.varnhold_encode(...put(file.name, divisor, fraction), file.size);
    if (code !== 0) return refused(code);
    const parts = [answer(), file];
    for (let left = core.varnhold_fill_length(); left > 0; left -= ZERO_CHUNK) {
      parts.push(left >= ZERO_CHUNK ? zeros : zeros.subarray(0, left));
    }
    return { code, name: file.name + pictureSuffix, blob: new Blob(parts, { type: "image/bmp" }) };
  }

  async function decode(file) {
    let head;
    try {
      head = new Uint8Array(await file.slice(0, core.varnhold_longest_record_start()).arrayBuffer());
    } catch {
      return { code: core.varnhold_unreadable(), fault: "" };
    }
    bytes().set(head);
    const code = core.varnhold_decode(head.length, file.size);
    if (code !== 0) return refused(code);
    // A tag that is not UTF-8 was written where names were kept in a Windows
    // ANSI code page; Cyrillic (1251) is the one such pictures come with.
    const suffix = new TextDecoder(core.varnhold_answer_is_utf8() ? "utf-8" : "windows-1251").decode(answer());
    const start = core.varnhold_record_start();
    const blob = file.slice(start, start + core.varnhold_carried_length(), "application/octet-stream");
    return { code, name: file.name + suffix, blob };
  }

  return async function process(file, divisor = "", fraction = "") {
    return core.varnhold_is_picture(...put(file.name)) ? decode(file) : encode(file, divisor, fraction);
  };
}

// The page: pick or drop a file, get the result offered for saving.
async function startPage() {
  const core = document.getElementById("varnhold-core").textContent.trim();
  const process = await loadCore(Uint8Array.from(atob(core), (c) => c.charCodeAt(0)));
  const input = document.getElementById("file");
  const result = document.getElementById("result");
  const field = (id) => document.getElementById(id).value;
  let offered = null;

  async function handle(file) {
    if (offered) URL.revokeObjectURL(offered);
    offered = null;
    result.replaceChildren(`Working on ${file.name}…`);
    const outcome = await process(file, field("divisor"), field("fraction"));
    if (outcome.code !== 0) {
      const why = outcome.fault ? `varnhold: ${outcome.fault}` : MEANINGS[outcome.code];
      result.className = "refused";
      result.replaceChildren(`Code ${outcome.code}: ${why}. Nothing was made from ${file.name}.`);
      return;
    }
    offered = URL.createObjectURL(outcome.blob);
    const link = Object.assign(document.createElement("a"), { href: offered, download: outcome.name, id: "save" });
    link.textContent = `Save ${outcome.name}`;
    result.className = "done";
    result.replaceChildren(`Code 0: ${outcome.blob.size.toLocaleString("en")} bytes ready. `, link);
    link.focus();
  }

  input.addEventListener("change", () => input.files.length > 0 && handle(input.files[0]));
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
