// An oscillogram as the recorder publishes it: the saved file's bytes (its
// name in the MQTT 5 user property `name`), or under MQTT 3.1.1 the wrapper
// {"name","size","base64"}. The file: version byte 2, a 16-bit count, then five
// arrays of `count` 4-byte values (threshold as float, useful, ekNoise,
// ekClimate, input), little-endian.
(function (root) {
  'use strict';

  const SIGNALS = ['threshold', 'useful', 'ekNoise', 'ekClimate', 'input'];

  // {count, threshold: Float32Array, useful: Uint32Array, ...} or null for
  // bytes that are not a whole file of version 2.
  function decodeFile(bytes) {
    if (bytes.length < 3 || bytes[0] !== 2) return null;
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    const count = view.getUint16(1, true);
    if (bytes.length < 3 + 20 * count) return null;
    const o = { count };
    SIGNALS.forEach((name, k) => {
      const values = name === 'threshold' ? new Float32Array(count) : new Uint32Array(count);
      const start = 3 + 4 * count * k;
      for (let i = 0; i < count; ++i)
        values[i] = name === 'threshold' ? view.getFloat32(start + 4 * i, true) : view.getUint32(start + 4 * i, true);
      o[name] = values;
    });
    return o;
  }

  function base64Bytes(text) {
    if (typeof atob === 'function') return Uint8Array.from(atob(text), (c) => c.charCodeAt(0));
    return new Uint8Array(Buffer.from(text, 'base64'));
  }

  // {name, data} from a message, or null. `propertyName` is the MQTT 5 `name`
  // property when the message had one.
  function decodeMessage(payload, propertyName) {
    let bytes = payload;
    let name = propertyName || '';
    if (payload.length > 0 && payload[0] === 0x7b /* '{' */) {
      let wrapper;
      try {
        wrapper = JSON.parse(new TextDecoder().decode(payload));
        bytes = base64Bytes(String(wrapper.base64));
      } catch (e) {
        return null;
      }
      name = typeof wrapper.name === 'string' ? wrapper.name : name;
    }
    const data = decodeFile(bytes);
    return data ? { name: name || 'осциллограмма.bin', data } : null;
  }

  // The shortest text that reads back as the same single-precision float.
  function floatText(x) {
    for (let p = 1; p <= 9; ++p) {
      const t = Number(x.toPrecision(p));
      if (Math.fround(t) === x) return String(t);
    }
    return String(x);
  }

  // One row a sample, as the oscillogram tool's plain CSV: commas, a decimal
  // point, CRLF.
  function csv(o) {
    const rows = ['index,' + SIGNALS.join(',')];
    for (let i = 0; i < o.count; ++i)
      rows.push([i, floatText(o.threshold[i]), o.useful[i], o.ekNoise[i], o.ekClimate[i], o.input[i]].join(','));
    return rows.join('\r\n') + '\r\n';
  }

  const api = { SIGNALS, decodeFile, decodeMessage, csv, floatText };
  if (typeof module === 'object' && module.exports) module.exports = api;
  else root.TarvinOscillogram = api;
})(typeof globalThis !== 'undefined' ? globalThis : this);
