// The archive site's script: the search over every drawing (search.js holds
// the data), the sorting of the index's cards, and the zoom and pan of a
// drawing's page with the outlines of its parts, nets and findings. The pages
// read without it; it needs nothing but the files beside it.
(function () {
  'use strict';

  var drawings = window.TRACERY_DRAWINGS || [];
  var body = document.body;
  var onIndex = body.classList.contains('index');
  var root = onIndex ? '' : '../../';
  var collator = new Intl.Collator(undefined, { numeric: true, sensitivity: 'base' });

  // ------------------------------------------------------------ search

  // Each entry of the data: [page, name, folder, thumbnail, status (0
  // complete, 1 damaged, 2 unreadable), message, summary, time of last
  // change, terms]; the terms are a line "designation TAB value TAB package"
  // per part, then after a U+001E a line per net, then after another a line
  // per text.
  var PAGE = 0, NAME = 1, FOLDER = 2, THUMB = 3, STATUS = 4, MESSAGE = 5, SUMMARY = 6, DATE = 7, TERMS = 8;
  var lowered = null;

  // Every drawing's name and terms in lower case, made once.
  function prepare() {
    if (lowered) return;
    lowered = new Array(drawings.length);
    for (var i = 0; i < drawings.length; i++)
      lowered[i] = (drawings[i][NAME] + '\u001e' + drawings[i][TERMS]).toLowerCase();
  }

  function wordsOf(query) {
    return query.toLowerCase().split(/\s+/).filter(function (w) { return w.length > 0; });
  }

  function holdsAny(text, words) {
    var lower = text.toLowerCase();
    for (var i = 0; i < words.length; i++) if (lower.indexOf(words[i]) >= 0) return true;
    return false;
  }

  function lines(text) { return text ? text.split('\n') : []; }

  // What matched in a drawing: [label, text] pairs, the text the one that
  // holds a word.
  function matchesIn(d, words) {
    var found = [];
    var sections = d[TERMS].split('\u001e');
    lines(sections[0]).forEach(function (line) {
      var p = line.split('\t');
      if (holdsAny(p[0], words)) found.push(['', p[0]]);
      if (p[1] && holdsAny(p[1], words)) found.push([p[0] + ' value', p[1]]);
      if (p[2] && holdsAny(p[2], words)) found.push([p[0] + ' package', p[2]]);
    });
    lines(sections[1]).forEach(function (n) { if (holdsAny(n, words)) found.push(['net', n]); });
    lines(sections[2]).forEach(function (t) { if (holdsAny(t, words)) found.push(['text', t]); });
    if (holdsAny(d[NAME], words)) found.push(['file', d[NAME]]);
    return found;
  }

  // Calls back once the drawings' data is there: a drawing's page loads it
  // when its search box is first used.
  var waitingForData = null;
  function withData(callback) {
    if (window.TRACERY_DRAWINGS) {
      drawings = window.TRACERY_DRAWINGS;
      callback();
      return;
    }
    if (waitingForData) { waitingForData.push(callback); return; }
    waitingForData = [callback];
    var script = document.createElement('script');
    script.src = root + 'search.js';
    script.onload = function () {
      drawings = window.TRACERY_DRAWINGS || [];
      var callbacks = waitingForData;
      waitingForData = [];
      callbacks.forEach(function (c) { c(); });
    };
    document.body.appendChild(script);
  }

  // The drawings that hold every word of the query, in the index's order.
  function search(words) {
    if (words.length === 0) return [];
    prepare();
    var hits = [];
    for (var i = 0; i < drawings.length; i++) {
      var hay = lowered[i], all = true;
      for (var k = 0; k < words.length && all; k++) all = hay.indexOf(words[k]) >= 0;
      if (all) hits.push(drawings[i]);
    }
    return hits;
  }

  function element(name, className, text) {
    var e = document.createElement(name);
    if (className) e.className = className;
    if (text !== undefined) e.textContent = text;
    return e;
  }

  // The text with every word marked.
  function marked(text, words) {
    var lower = text.toLowerCase(), out = document.createDocumentFragment(), at = 0;
    while (at < text.length) {
      var best = -1, length = 0;
      for (var i = 0; i < words.length; i++) {
        var p = lower.indexOf(words[i], at);
        if (p >= 0 && (best < 0 || p < best || (p === best && words[i].length > length))) { best = p; length = words[i].length; }
      }
      if (best < 0) break;
      if (best > at) out.appendChild(document.createTextNode(text.slice(at, best)));
      out.appendChild(element('mark', '', text.slice(best, best + length)));
      at = best + length;
    }
    if (at < text.length) out.appendChild(document.createTextNode(text.slice(at)));
    return out;
  }

  var shownMatches = 8;

  // "U1 value LM741 · net VOUT · 3 more"
  function matchList(d, words) {
    var matches = matchesIn(d, words);
    var span = element('span', 'matches');
    matches.slice(0, shownMatches).forEach(function (m, i) {
      if (i > 0) span.appendChild(document.createTextNode(' · '));
      if (m[0]) span.appendChild(document.createTextNode(m[0] + ' '));
      span.appendChild(marked(m[1], words));
    });
    if (matches.length > shownMatches)
      span.appendChild(document.createTextNode(' · ' + (matches.length - shownMatches) + ' more'));
    return span;
  }

  function link(page, className, text) {
    var a = element(page ? 'a' : 'span', className, text);
    if (page) a.href = root + page;
    return a;
  }

  function plural(n, one, many) { return n.toLocaleString('en') + ' ' + (n === 1 ? one : many); }

  // "Damaged: the record at ..."
  function damageNote(d, name) {
    var note = element(name, 'damage');
    note.appendChild(element('strong', '', d[STATUS] === 1 ? 'Damaged:' : 'Unreadable:'));
    note.appendChild(document.createTextNode(' ' + d[MESSAGE]));
    return note;
  }

  function hitItem(d, words) {
    var li = element('li', 'hit');
    if (d[THUMB]) {
      var a = link(d[PAGE], 'thumb');
      var img = element('img');
      img.src = root + d[THUMB];
      img.alt = '';
      img.loading = 'lazy';
      a.appendChild(img);
      li.appendChild(a);
    }
    li.appendChild(link(d[PAGE], 'name', d[NAME]));
    li.appendChild(element('span', 'folder-name', d[FOLDER]));
    li.appendChild(matchList(d, words));
    if (d[STATUS]) li.appendChild(damageNote(d, 'span'));
    return li;
  }

  // The hits are listed a page at a time.
  var hitsAtOnce = 100;

  // The index: the hits instead of the folders while there is a query.
  function showHits(query) {
    var found = document.querySelector('.found');
    var folders = document.querySelector('.folders');
    var controls = document.querySelector('.controls');
    if (!found || !folders) return;
    var words = wordsOf(query);
    var list = found.querySelector('.hits');
    var more = found.querySelector('.more-hits');
    list.textContent = '';
    if (words.length === 0) {
      found.hidden = true;
      folders.hidden = false;
      if (controls) controls.hidden = false;
      return;
    }
    var hits = search(words);
    found.hidden = false;
    folders.hidden = true;
    if (controls) controls.hidden = true;
    found.querySelector('.found-count').textContent =
      plural(hits.length, 'drawing matches', 'drawings match') + ' \u201c' + query.trim() + '\u201d';
    var shown = 0;
    function showMore() {
      var fragment = document.createDocumentFragment();
      var end = Math.min(hits.length, shown + hitsAtOnce);
      for (; shown < end; shown++) fragment.appendChild(hitItem(hits[shown], words));
      list.appendChild(fragment);
      more.hidden = shown >= hits.length;
      more.textContent = 'Show ' + Math.min(hitsAtOnce, hits.length - shown) + ' more of ' +
        (hits.length - shown).toLocaleString('en');
    }
    more.onclick = showMore;
    showMore();
  }

  var suggested = 12;

  // Elsewhere: the first hits under the box, and the way to all of them.
  function showSuggestions(box, list, query) {
    list.textContent = '';
    var words = wordsOf(query);
    if (words.length === 0) { list.hidden = true; return; }
    var hits = search(words);
    hits.slice(0, suggested).forEach(function (d) {
      var li = element('li');
      var a = link(d[PAGE], '', '');
      a.appendChild(element('strong', '', d[NAME]));
      a.appendChild(document.createTextNode(' '));
      a.appendChild(matchList(d, words));
      li.appendChild(a);
      list.appendChild(li);
    });
    var more = element('li', 'more');
    var all = element('a', '', hits.length === 0 ? 'No drawing matches' : 'All ' + plural(hits.length, 'drawing', 'drawings') + ' in the index');
    all.href = root + 'index.html?q=' + encodeURIComponent(query.trim());
    more.appendChild(all);
    list.appendChild(more);
    list.hidden = false;
  }

  function setUpSearch() {
    var form = document.querySelector('form.search');
    if (!form) return;
    var box = form.querySelector('input');
    var list = form.querySelector('.suggestions');
    if (onIndex) {
      var query = new URLSearchParams(location.search).get('q') || '';
      box.value = query;
      showHits(query);
      box.addEventListener('input', function () {
        showHits(box.value);
        try {
          history.replaceState(null, '', box.value.trim() ? '?q=' + encodeURIComponent(box.value.trim()) : location.pathname);
        } catch (e) { /* some browsers keep file:// addresses as they are */ }
      });
      form.addEventListener('submit', function (e) { e.preventDefault(); showHits(box.value); });
    } else {
      box.addEventListener('focus', function () { withData(function () {}); });
      box.addEventListener('input', function () {
        withData(function () { showSuggestions(box, list, box.value); });
      });
      box.addEventListener('keydown', function (e) { if (e.key === 'Escape') { list.hidden = true; box.blur(); } });
      document.addEventListener('click', function (e) { if (!form.contains(e.target)) list.hidden = true; });
    }
    // The lower-case terms are made while nobody types.
    if (onIndex) setTimeout(prepare, 0);
  }

  // ------------------------------------------------ the index's cards

  // "2024-05-01 14:03", in UTC as the archive's hosts may be anywhere.
  function dateText(ms) { return new Date(ms).toISOString().slice(0, 16).replace('T', ' '); }

  function card(d) {
    var li = element('li', d[STATUS] ? 'card damaged' : 'card');
    var open = link(d[PAGE], 'open');
    if (d[THUMB]) {
      var img = element('img');
      img.src = d[THUMB];
      img.alt = '';
      img.loading = 'lazy';
      open.appendChild(img);
    } else {
      open.appendChild(element('span', 'nothumb'));
    }
    open.appendChild(element('span', 'name', d[NAME]));
    li.appendChild(open);
    if (d[SUMMARY]) li.appendChild(element('span', 'meta', d[SUMMARY]));
    if (d[DATE] > 0) {
      var time = element('time', '', dateText(d[DATE]));
      time.dateTime = new Date(d[DATE]).toISOString();
      li.appendChild(time);
    }
    if (d[STATUS]) li.appendChild(damageNote(d, 'p'));
    return li;
  }

  // Each folder's cards are made as the folder comes near the view (all of
  // those that fit on the first screens at once), sorted by name or by
  // date, the newest first.
  function setUpFolders() {
    var sections = Array.prototype.slice.call(document.querySelectorAll('section.folder'));
    if (sections.length === 0) return;
    var sortKey = 'name', cardHeight = 0, columns = 1;
    function order(first, count) {
      var list = drawings.slice(first, first + count);
      if (sortKey === 'date')
        list.sort(function (a, b) { return (b[DATE] - a[DATE]) || collator.compare(a[NAME], b[NAME]); });
      return list;
    }
    function fill(section) {
      section.filled = true;
      var ul = section.querySelector('.cards');
      var fragment = document.createDocumentFragment();
      order(Number(section.dataset.first), Number(section.dataset.count)).forEach(function (d) {
        fragment.appendChild(card(d));
      });
      ul.textContent = '';
      ul.style.minHeight = '';
      ul.appendChild(fragment);
      if (!cardHeight && ul.firstElementChild) {
        cardHeight = ul.firstElementChild.getBoundingClientRect().height + 12;
        columns = Math.max(1, getComputedStyle(ul).gridTemplateColumns.split(' ').length);
      }
    }
    // A folder not yet filled keeps the room its cards will take.
    function reserve(section) {
      if (!section.filled && cardHeight)
        section.querySelector('.cards').style.minHeight =
          Math.ceil(Number(section.dataset.count) / columns) * cardHeight + 'px';
    }
    var room = window.innerHeight * 2, k = 0;
    for (; k < sections.length && sections[k].getBoundingClientRect().top < room; k++) fill(sections[k]);
    var waiting = sections.slice(k);
    waiting.forEach(reserve);
    if (waiting.length > 0 && 'IntersectionObserver' in window) {
      var observer = new IntersectionObserver(function (seen) {
        seen.forEach(function (e) {
          if (e.isIntersecting && !e.target.filled) {
            fill(e.target);
            observer.unobserve(e.target);
          }
        });
      }, { rootMargin: '100% 0px' });
      waiting.forEach(function (section) { observer.observe(section); });
    } else {
      waiting.forEach(fill);
    }

    var buttons = document.querySelectorAll('.sort button');
    buttons.forEach(function (b) {
      b.addEventListener('click', function () {
        sortKey = b.dataset.sort;
        sections.forEach(function (section) { if (section.filled) fill(section); });
        buttons.forEach(function (other) { other.setAttribute('aria-pressed', String(other === b)); });
      });
    });
  }

  // --------------------------------------------------------- the viewer

  var SVG = 'http://www.w3.org/2000/svg';

  function numbers(text) {
    return text.trim() ? text.trim().split(/\s+/).map(Number) : [];
  }

  function setUpViewer() {
    var viewer = document.querySelector('.viewer');
    if (!viewer) return;
    var sheet = viewer.querySelector('.sheet');
    var marks = viewer.querySelector('.marks');
    var width = Number(viewer.dataset.width) || 1, height = Number(viewer.dataset.height) || 1;
    // The view: the page's scale and where its top-left corner is in the
    // viewer. The sheet is laid out at `laidOut` and transformed to the
    // view; once the view rests it is laid out anew, so the page is drawn
    // sharp at every scale.
    var scale = 1, x = 0, y = 0, laidOut = 0, fitted = true, restTimer = 0;

    function room() { return viewer.getBoundingClientRect(); }
    function fitScale() {
      var r = room();
      return Math.max(0.001, Math.min((r.width - 16) / width, (r.height - 16) / height));
    }
    function layOut() {
      laidOut = scale;
      sheet.style.width = width * scale + 'px';
      sheet.style.height = height * scale + 'px';
      apply();
    }
    function apply() {
      sheet.style.transform = 'translate(' + x + 'px,' + y + 'px) scale(' + scale / laidOut + ')';
    }
    function rest() {
      clearTimeout(restTimer);
      restTimer = setTimeout(layOut, 160);
      apply();
    }
    function fit() {
      var r = room();
      scale = fitScale();
      x = (r.width - width * scale) / 2;
      y = (r.height - height * scale) / 2;
      fitted = true;
      layOut();
    }
    function zoomAt(px, py, factor) {
      var next = Math.min(Math.max(scale * factor, fitScale() / 4), 32);
      x = px - (px - x) * (next / scale);
      y = py - (py - y) * (next / scale);
      scale = next;
      fitted = false;
      rest();
    }
    function zoomCentre(factor) {
      var r = room();
      zoomAt(r.width / 2, r.height / 2, factor);
    }
    // The page point under a point of the viewer.
    function pagePoint(px, py) { return [(px - x) / scale, (py - y) / scale]; }

    viewer.addEventListener('wheel', function (e) {
      e.preventDefault();
      var r = room();
      var step = e.deltaMode === 1 ? 0.05 : e.deltaMode === 2 ? 1 : 0.002;
      zoomAt(e.clientX - r.left, e.clientY - r.top, Math.exp(-e.deltaY * step));
    }, { passive: false });

    // One pointer pans, two pinch; a press that does not move is a click.
    var pointers = new Map(), pressed = null, moved = false, pinch = null;
    viewer.addEventListener('pointerdown', function (e) {
      if (e.target.closest && e.target.closest('.tools')) return;
      viewer.setPointerCapture(e.pointerId);
      pointers.set(e.pointerId, [e.clientX, e.clientY]);
      if (pointers.size === 1) { pressed = [e.clientX, e.clientY]; moved = false; }
      pinch = null;
      viewer.classList.add('dragging');
    });
    viewer.addEventListener('pointermove', function (e) {
      var last = pointers.get(e.pointerId);
      if (!last) return;
      var now = [e.clientX, e.clientY];
      if (pointers.size === 1) {
        x += now[0] - last[0];
        y += now[1] - last[1];
        if (Math.abs(now[0] - pressed[0]) + Math.abs(now[1] - pressed[1]) > 4) moved = true;
        fitted = false;
        apply();
      } else if (pointers.size === 2) {
        pointers.set(e.pointerId, now);
        var p = Array.from(pointers.values());
        var distance = Math.hypot(p[0][0] - p[1][0], p[0][1] - p[1][1]);
        var r = room(), mx = (p[0][0] + p[1][0]) / 2 - r.left, my = (p[0][1] + p[1][1]) / 2 - r.top;
        if (pinch && pinch.distance > 0) {
          x += mx - pinch.mx;
          y += my - pinch.my;
          zoomAt(mx, my, distance / pinch.distance);
        }
        pinch = { distance: distance, mx: mx, my: my };
        moved = true;
      }
      pointers.set(e.pointerId, now);
    });
    function release(e) {
      if (!pointers.has(e.pointerId)) return;
      pointers.delete(e.pointerId);
      pinch = null;
      if (pointers.size === 0) {
        viewer.classList.remove('dragging');
        if (!moved && e.type === 'pointerup') {
          var r = room();
          pickAt(pagePoint(e.clientX - r.left, e.clientY - r.top));
        }
      }
    }
    viewer.addEventListener('pointerup', release);
    viewer.addEventListener('pointercancel', release);

    viewer.querySelectorAll('.tools button').forEach(function (b) {
      b.addEventListener('click', function () {
        if (b.dataset.zoom === 'fit') fit(); else zoomCentre(b.dataset.zoom === 'in' ? 1.5 : 1 / 1.5);
      });
    });
    document.addEventListener('keydown', function (e) {
      if (e.target.closest && e.target.closest('input')) return;
      if (e.key === '+' || e.key === '=') zoomCentre(1.5);
      else if (e.key === '-') zoomCentre(1 / 1.5);
      else if (e.key === '0') fit();
    });
    window.addEventListener('resize', function () { if (fitted) fit(); });

    // Brings a page box into the view, zooming out when it is larger.
    function show(box) {
      var r = room();
      if ((box[2] - box[0]) * scale > r.width * 0.9 || (box[3] - box[1]) * scale > r.height * 0.9)
        scale = Math.max(fitScale(), Math.min(r.width * 0.8 / (box[2] - box[0] + 1), r.height * 0.8 / (box[3] - box[1] + 1)));
      var w = (box[2] - box[0]) * scale, h = (box[3] - box[1]) * scale;
      var left = box[0] * scale + x, top = box[1] * scale + y;
      if (left < 0 || top < 0 || left + w > r.width || top + h > r.height) {
        x = r.width / 2 - (box[0] + box[2]) / 2 * scale;
        y = r.height / 2 - (box[1] + box[3]) / 2 * scale;
      }
      fitted = false;
      layOut();
    }

    function mark(name, attributes) {
      var e = document.createElementNS(SVG, name);
      for (var key in attributes) e.setAttribute(key, attributes[key]);
      marks.appendChild(e);
      return e;
    }

    var selected = null;
    function select(item) {
      if (selected) selected.classList.remove('selected');
      marks.textContent = '';
      selected = item;
      if (!item) return;
      item.classList.add('selected');
      var bounds = null;
      function grow(x1, y1, x2, y2) {
        if (!bounds) bounds = [x1, y1, x2, y2];
        else bounds = [Math.min(bounds[0], x1), Math.min(bounds[1], y1), Math.max(bounds[2], x2), Math.max(bounds[3], y2)];
      }
      if (item.dataset.box) {
        var b = numbers(item.dataset.box);
        mark('rect', { 'class': 'outline', x: b[0] - 3, y: b[1] - 3, width: b[2] - b[0] + 6, height: b[3] - b[1] + 6 });
        grow(b[0], b[1], b[2], b[3]);
      }
      if (item.dataset.wires !== undefined) {
        item.dataset.wires.split(',').forEach(function (w) {
          var n = numbers(w);
          if (n.length !== 4) return;
          mark('line', { 'class': 'wire', x1: n[0] + 0.5, y1: n[1] + 0.5, x2: n[2] + 0.5, y2: n[3] + 0.5 });
          grow(Math.min(n[0], n[2]), Math.min(n[1], n[3]), Math.max(n[0], n[2]) + 1, Math.max(n[1], n[3]) + 1);
        });
        (item.dataset.points || '').split(',').forEach(function (p) {
          var n = numbers(p);
          if (n.length !== 2) return;
          mark('circle', { 'class': 'point', cx: n[0] + 0.5, cy: n[1] + 0.5, r: 4 });
          grow(n[0], n[1], n[0] + 1, n[1] + 1);
        });
      }
      if (item.dataset.at) {
        var a = numbers(item.dataset.at);
        mark('circle', { 'class': 'outline', cx: a[0] + 0.5, cy: a[1] + 0.5, r: 12 });
        grow(a[0] - 12, a[1] - 12, a[0] + 12, a[1] + 12);
      }
      if (bounds) show(bounds);
    }

    // A click on the page selects the smallest part under it.
    var rows = Array.prototype.slice.call(document.querySelectorAll('.parts tbody tr'));
    function pickAt(point) {
      var best = null, area = Infinity;
      rows.forEach(function (row) {
        var b = numbers(row.dataset.box);
        if (point[0] >= b[0] && point[0] < b[2] && point[1] >= b[1] && point[1] < b[3]) {
          var a = (b[2] - b[0]) * (b[3] - b[1]);
          if (a < area) { area = a; best = row; }
        }
      });
      if (best) {
        select(best);
        best.scrollIntoView({ block: 'nearest' });
      } else {
        select(null);
      }
    }

    document.querySelectorAll('.parts tbody tr, .nets li, .findings li').forEach(function (item) {
      item.addEventListener('click', function () { select(item === selected ? null : item); });
      item.addEventListener('keydown', function (e) {
        if (e.key === 'Enter' || e.key === ' ') { e.preventDefault(); select(item === selected ? null : item); }
      });
    });

    fit();
  }

  setUpFolders();
  setUpSearch();
  setUpViewer();
})();
