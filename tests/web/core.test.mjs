// SPDX-License-Identifier: MIT
// The page's core in Node: the same pictures as the program for the committed
// hash list (inputs and settings read from tests/cross/container_hashes.sh),
// each decoded back, and the refusals the page shows.
import assert from "node:assert/strict";
import { createHash } from "node:crypto";
import { File } from "node:buffer"; // global only from Node 20; Debian 12 has Node 18
import { readFileSync } from "node:fs";
import { test } from "node:test";
import { loadCore } from "../../src/web/varnhold.mjs";

const here = new URL(".", import.meta.url);
const process_ = await loadCore(readFileSync(`${globalThis.process.env.VARNHOLD_WEB_BUILD}/src/web/varnhold.wasm`));
const bytesOf = async (blob) => new Uint8Array(await blob.arrayBuffer());
const sha256 = (bytes) => createHash("sha256").update(bytes).digest("hex");
const le32 = (bytes, at) => new DataView(bytes.buffer, bytes.byteOffset).getUint32(at, true);

// "name size divisor fraction" lines of the script's table; "-" leaves a
// setting unset, "_" stands for a space.
const script = readFileSync(new URL("../cross/container_hashes.sh", here), "utf8");
const cases = [...script.matchAll(/^\s*"(\S+) (\d+) (\S+) (\S+)"$/gm)].map(([, name, size, divisor, fraction]) => {
  const setting = (text) => (text === "-" ? "" : text.replaceAll("_", " "));
  return { name, size: Number(size), divisor: setting(divisor), fraction: setting(fraction) };
});
const expected = new Map(
  readFileSync(new URL("../cross/container_hashes.txt", here), "utf8")
    .trim()
    .split("\n")
    .map((line) => [line.split(" ")[0], line.split(" ").slice(1).join(" ")]),
);

test("the same pictures as the program, decoded back", async () => {
  assert.equal(cases.length, expected.size);
  for (const { name, size, divisor, fraction } of cases) {
    const line = `Varnhold ${name} carries this line in its picture.\n`;
    const content = new TextEncoder().encode(line.repeat(Math.ceil(size / line.length))).slice(0, size);
    const encoded = await process_(new File([content], name), divisor, fraction);
    assert.equal(encoded.name, `${name}.bmp`);
    const picture = await bytesOf(encoded.blob);
    assert.equal(`${le32(picture, 18)}x${le32(picture, 22)} ${sha256(picture)}`, expected.get(name), name);

    const decoded = await process_(new File([picture], encoded.name));
    const extension = name.includes(".") ? name.slice(name.lastIndexOf(".")) : ".~";
    assert.equal(decoded.name, `${name}.bmp${extension}`);
    assert.deepEqual(await bytesOf(decoded.blob), content, name);
  }
});

// A picture by hand: an 8 x 2 header, the record for `tag` stating `stated`
// bytes, then `carried`.
function picture(tag, stated, carried) {
  const tagBytes = typeof tag === "string" ? new TextEncoder().encode(tag) : tag;
  const bytes = new Uint8Array(54 + 1 + tagBytes.length + 4 + carried.length);
  bytes.set([0x42, 0x4d]);
  bytes[54] = tagBytes.length;
  bytes.set(tagBytes, 55);
  new DataView(bytes.buffer).setUint32(55 + tagBytes.length, stated, true);
  bytes.set(carried, 59 + tagBytes.length);
  return bytes;
}

test("decoding names the file as the program does", async () => {
  const cases = [
    ["a.BMP", "mp3", "a.BMP.mp3"], // any letter case decodes
    ["b.bmp", "tx\0t", "b.bmp.tx"], // the tag ends at its first zero byte
    ["c.bmp", "\u00e9t\u00e9", "c.bmp.\u00e9t\u00e9"], // UTF-8 stays
    ["d.bmp", Uint8Array.of(0xc4, 0xe0), "d.bmp.\u0414\u0430"], // anything else is read as Windows-1251
  ];
  for (const [name, tag, restored] of cases) {
    const outcome = await process_(new File([picture(tag, 2, [7, 8, 9])], name));
    assert.equal(outcome.name, restored);
    assert.deepEqual(await bytesOf(outcome.blob), Uint8Array.of(7, 8));
  }
});

test("the size limit, and separators of every system in a tag", async () => {
  const cases = [
    [{ name: "big.iso", size: 2 ** 28 + 1 }, ["", ""], { code: 1, fault: "" }],
    [{ name: "top.iso", size: 2 ** 28 }, ["", "0"], { code: 1, fault: "floating-point division by zero" }],
    ...["x/y", "x\\y", "C:"].map((tag) => [new File([picture(tag, 0, [])], "s.bmp"), [], { code: 3, fault: "" }]),
  ];
  for (const [file, settings, outcome] of cases) {
    assert.deepEqual(await process_(file, ...settings), outcome, file.name);
  }
});
