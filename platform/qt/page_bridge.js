// The page side of the bridge. It runs in an isolated script world: the page's own scripts
// can neither see these objects nor change the prototypes they use. Each call evaluates
//   typeof __quilloCall==='function'?__quilloCall(request):'i'
// and, when that answers 'i' (a new document), (<this function>)()(request), which installs
// it with the call. The objects handed out live in a
// registry keyed by a token that is new for every document; a request that carries another
// document's token reaches nothing. Every answer is a text whose first letter says what
// follows: u (nothing), s (a text), n (a number), o (an object's id), d (the document's
// token) or e (an error). Two answers are lists instead: a look (see tags below) and a pick.
(function install() {
  'use strict';
  // id -> object, object -> id, and id -> how many handles the program holds on it. An
  // object keeps its id while the program holds it, and a freed id is given out again
  // lowest first, so the calls of one press read the same as those of the press before.
  const objects = new Map([[0, document]]);
  const ids = new Map([[document, 0]]);
  const handles = new Map([[0, 1]]);
  // The element lists of the looks handed out; each is an object of the registry.
  const looks = new WeakSet();
  const lookNames = ['type', 'name', 'id', 'title'];
  const bytes = new Uint32Array(4);
  crypto.getRandomValues(bytes);
  const token = Array.from(bytes, (b) => b.toString(36)).join('-');

  // What element.all is on the browsers that have it: the element's descendants, with a
  // tags(name) that picks those of one tag name, both in document order.
  const allCollections = new WeakMap();
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
    if (value === undefined || value === null) return 'u';
    switch (typeof value) {
      case 'string': return 's' + value;
      case 'number': return 'n' + value;
      case 'boolean': return value ? 'n1' : 'n0';
      case 'bigint': return 'n' + Number(value);
      case 'object':
      case 'function': {
        let id = ids.get(value);
        if (id === undefined) {
          id = 1;
          while (objects.has(id)) id++;
          objects.set(id, value);
          ids.set(value, id);
        }
        handles.set(id, (handles.get(id) || 0) + 1);
        return 'o' + id;
      }
      default: return 'u';
    }
  }

  function decode(argument) {
    if ('s' in argument) return String(argument.s);
    if ('n' in argument) return Number(argument.n);  // also reads "Infinity" and "NaN"
    if ('o' in argument) return objects.get(argument.o);
    return undefined;
  }

  function has(target, name) {
    return (typeof target === 'object' || typeof target === 'function') && name in target;
  }

  // What a get answers, without making a new object id: x when the answer is an object.
  function read(target, name) {
    try {
      if (!has(target, name)) return 'eno member';
      const value = target[name];
      return value !== null && (typeof value === 'object' || typeof value === 'function')
        ? 'x' : encode(value);
    } catch (e) {
      return 'e' + String(e && e.name);
    }
  }

  // A look at a collection: its id, the id of a fixed list of its elements, and one text
  // with, for each element, its type, name, id and title as reading them answers now. The
  // texts are joined by \u0001; inside them \u0002\u0002 stands for \u0002 and \u0002\u0003
  // for \u0001. A read that gives no text is \u0002\u0004 and the answer of a get.
  function look(collection) {
    const length = collection.length;
    const list = new Array(length);  // filled by index: far quicker than through an iterator
    looks.add(list);
    const values = new Array(length * 4);
    for (let i = 0; i < length; i++) {
      const element = list[i] = collection[i];
      try {
        values[4 * i] = element.type;
        values[4 * i + 1] = element.name;
        values[4 * i + 2] = element.id;
        values[4 * i + 3] = element.title;
      } catch (e) {
        // read() below gives the error's answer
      }
    }
    const others = [];
    for (let i = 0; i < values.length; i++) {
      if (typeof values[i] !== 'string') {
        others.push(i);
        values[i] = '';
      }
    }
    const escape = (text) => text.replace(/[\u0001\u0002]/g,
        (c) => (c === '\u0001' ? '\u0002\u0003' : '\u0002\u0002'));
    const texts = values.some((v) => /[\u0001\u0002]/.test(v)) ? values.map(escape) : values;
    for (const i of others) {
      texts[i] = '\u0002\u0004' + escape(read(list[i >> 2], lookNames[i & 3]));
    }
    return ['l', encode(collection), encode(list), texts.join('\u0001')];
  }

  function perform(target, request) {
    const name = String(request.name);
    try {
      if (request.op === 'get') {
        if (name === 'all' && target instanceof Element) {
          if (!allCollections.has(target)) allCollections.set(target, new AllCollection(target));
          return encode(allCollections.get(target));
        }
        if (!has(target, name)) return 'eno member';
        return encode(target[name]);
      }
      if (request.op === 'put') {
        if (!has(target, name)) return 'eno member';
        target[name] = decode(request.value);
        return 'u';
      }
      if (request.op === 'event') {
        // As the browser tells a page of a person's typing: bubbling, not cancelable, from
        // the element itself. The page's own listeners, in every world, hear it.
        if (!(target instanceof Element)) return 'eno element';
        const init = {bubbles: true, cancelable: false, composed: true};
        target.dispatchEvent(name === 'input'
          ? new InputEvent(name, {...init, inputType: 'insertText', data: String(target.value)})
          : new Event(name, init));
        return 'u';
      }
      if (request.op === 'call') {
        if (target instanceof AllCollection && name === 'tags') {
          return look(target.tags(...(request.args || []).map(decode)));
        }
        if (!has(target, name) || typeof target[name] !== 'function') return 'eno method';
        return encode(target[name](...(request.args || []).map(decode)));
      }
    } catch (e) {
      return 'e' + String(e && e.name);
    }
    return 'eunknown request';
  }

  function call(request) {
    // Entries whose last reference the program gave up, as [token, id]; those of other
    // documents are gone already.
    for (const [entryToken, id] of request.release || []) {
      if (entryToken !== token || id === 0 || !objects.has(id)) continue;
      const left = handles.get(id) - 1;
      if (left > 0) {
        handles.set(id, left);
      } else {
        ids.delete(objects.get(id));
        objects.delete(id);
        handles.delete(id);
      }
    }
    if (request.op === 'document') return 'd' + token;
    if (request.token !== token) return 'estale';
    if (request.op === 'count') return 'n' + objects.size;
    if (request.list !== undefined) {
      // A pick: the element at this place of a look, while it is still in this document.
      const list = objects.get(request.list);
      const element = looks.has(list) ? list[request.index] : undefined;
      if (!(element instanceof Node) || !element.isConnected || element.ownerDocument !== document) {
        return 'egone';
      }
      const id = encode(element).slice(1);
      return ['p', id, perform(element, request)];
    }
    if (!objects.has(request.id)) return 'egone';
    return perform(objects.get(request.id), request);
  }

  Object.defineProperty(globalThis, '__quilloCall', {value: call});
  return call;
})
