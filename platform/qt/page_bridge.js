// The page side of the bridge. It runs in an isolated script world: the page's own scripts
// can neither see these objects nor change the prototypes they use. Each call evaluates
//   (globalThis.__quilloCall || <this function>())(request)
// so the first call into a new document installs it. The objects handed out live in a
// registry keyed by a token that is new for every document; a request that carries another
// document's token reaches nothing.
(function install() {
  'use strict';
  const objects = new Map([[0, document]]);
  let nextId = 1;
  const bytes = new Uint32Array(4);
  crypto.getRandomValues(bytes);
  const token = Array.from(bytes, (b) => b.toString(36)).join('-');

  // What element.all is on the browsers that have it: the element's descendants, with a
  // tags(name) that picks those of one tag name, both in document order.
  class AllCollection {
    constructor(root) {
      this.root = root;
      this.all = root.getElementsByTagName('*');
    }
    get length() { return this.all.length; }
    item(index) { return this.all.item(index); }
    tags(name) { return this.root.getElementsByTagName(String(name)); }
  }

  function encode(value) {
    if (value === undefined || value === null) return {};
    switch (typeof value) {
      case 'string': return {s: value};
      case 'number': return {n: value};
      case 'boolean': return {n: value ? 1 : 0};
      case 'bigint': return {n: Number(value)};
      case 'object':
      case 'function': {
        const id = nextId++;
        objects.set(id, value);
        return {o: id};
      }
      default: return {};
    }
  }

  function decode(argument) {
    if ('s' in argument) return String(argument.s);
    if ('n' in argument) return Number(argument.n);
    if ('o' in argument) return objects.get(argument.o);
    return undefined;
  }

  function has(target, name) {
    return (typeof target === 'object' || typeof target === 'function') && name in target;
  }

  function call(request) {
    // Entries whose last reference the program gave up, as [token, id]; those of other
    // documents are gone already.
    for (const [owner, id] of request.release || []) {
      if (owner === token && id !== 0) objects.delete(id);
    }
    if (request.op === 'document') return {token, o: 0};
    if (request.token !== token) return {error: 'stale'};
    if (request.op === 'count') return {n: objects.size};
    if (!objects.has(request.id)) return {error: 'gone'};
    const target = objects.get(request.id);
    const name = String(request.name);
    try {
      if (request.op === 'get') {
        if (name === 'all' && target instanceof Element) return encode(new AllCollection(target));
        if (!has(target, name)) return {error: 'no member'};
        return encode(target[name]);
      }
      if (request.op === 'put') {
        if (!has(target, name)) return {error: 'no member'};
        target[name] = decode(request.value);
        return {};
      }
      if (request.op === 'call') {
        if (!has(target, name) || typeof target[name] !== 'function') return {error: 'no method'};
        return encode(target[name](...(request.args || []).map(decode)));
      }
    } catch (e) {
      return {error: String(e && e.name)};
    }
    return {error: 'unknown request'};
  }

  Object.defineProperty(globalThis, '__quilloCall', {value: call});
  return call;
})
