/*
 * PicLens Lite: the slide-show viewer that the gallery page starts. It reads the Media RSS feed the
 * page announces and shows its pictures one at a time, full-window, until the user closes the show.
 * Plain script and CSS in one file; it loads nothing but the feed and the pictures the feed names on
 * this computer.
 * When the browser does not let the page read the feed, the user chooses or drops the feed file.
 *
 * The gallery builder finds the browser window by its title: the page keeps "view gallery" for a
 * while after it has loaded, the title begins with "PicLens" from then on while the show (or one of
 * its messages, the chooser among them) is open, also while the feed is still being read, and it is
 * "view gallery" again once the show has been closed.
 */
(function () {
    'use strict';

    var PAGE_TITLE = 'view gallery';
    var SHOW_TITLE = 'PicLens Lite';
    var MEDIA_NS = 'http://search.yahoo.com/mrss/';
    var HOLD_MS = 1500;     // the page title stays this long after load, so the page window is found first
    var ADVANCE_MS = 4000;  // automatic advance
    var NOTE_MS = 4000;     // how long a note stays on screen
    var SWIPE_PX = 40;      // shortest horizontal drag that counts as a swipe
    var SKIPPED_NAMES = 3;  // names of skipped pictures the note keeps (the most recent ones)
    var SCAN_SLICE = 20000; // feed tags and attributes read before the page gets a turn again

    var CSS = [
        'html, body { margin: 0; height: 100%; background: #111; color: #ccc; font: 14px/1.5 sans-serif; }',
        '.pll-status { margin: 0; padding: 16px 20px; color: #888; }',
        '.pll-status button { margin-left: 8px; }',
        '#pll-show { position: fixed; left: 0; top: 0; right: 0; bottom: 0; z-index: 2147483647;',
        '  overflow: hidden; background: #111; color: #ddd; font: 13px/1.4 sans-serif;',
        '  cursor: default; touch-action: none; -webkit-user-select: none; user-select: none; }',
        '#pll-show .pll-stage { position: absolute; left: 0; top: 0; width: 100%; height: 100%; }',
        '#pll-show .pll-picture { position: absolute; left: 0; top: 0; width: 100%; height: 100%;',
        '  object-fit: contain; }',
        '#pll-show .pll-caption { position: absolute; left: 12px; right: 60px; bottom: 8px; white-space: nowrap;',
        '  overflow: hidden; text-overflow: ellipsis; color: rgba(255, 255, 255, 0.55);',
        '  text-shadow: 0 0 3px #000; pointer-events: none; }',
        '#pll-show .pll-position { margin-right: 12px; }',
        '#pll-show .pll-auto { margin-left: 12px; }',
        '#pll-show .pll-note { position: absolute; top: 12px; left: 50%; max-width: 80%; padding: 6px 12px;',
        '  transform: translateX(-50%); border-radius: 4px; background: rgba(0, 0, 0, 0.75); color: #eee;',
        '  pointer-events: none; display: none; }',
        '#pll-show .pll-close { position: absolute; top: 4px; right: 8px; padding: 0 8px; border: 0;',
        '  background: transparent; color: rgba(255, 255, 255, 0.6); font-size: 28px; line-height: 1.2;',
        '  cursor: pointer; }',
        '#pll-show .pll-message { position: absolute; top: 50%; left: 50%; width: 34em; max-width: 85%;',
        '  transform: translate(-50%, -50%); padding: 18px 24px; border: 1px solid #444; background: #1d1d1d;',
        '  color: #ddd; font-size: 14px; line-height: 1.5; -webkit-user-select: text; user-select: text; }',
        '#pll-show .pll-message h1 { margin: 0 0 10px; font-size: 18px; color: #fff; }',
        '#pll-show .pll-message code { color: #fff; }',
        '#pll-show .pll-choose { margin: 14px 0; padding: 16px; border: 2px dashed #555; border-radius: 6px;',
        '  text-align: center; }',
        '#pll-show .pll-choose.pll-over { border-color: #9cf; background: #223; }',
        '#pll-show .pll-choose button { padding: 6px 16px; font-size: 15px; }',
        '#pll-show .pll-choose .pll-problem { color: #f99; }'
    ].join('\n');

    // What the user reads when there is nothing to show: a short form for the window title, a
    // heading, and paragraphs (plain text or an HTML list of steps).
    var MESSAGES = {
        loading: {
            short: 'loading',
            heading: 'Loading the picture list\u2026',
            text: ['The show starts as soon as the picture list of this gallery (feed.rss) has been read.']
        },
        empty: {
            short: 'no pictures',
            heading: 'No pictures to show',
            text: ['The picture list of this gallery (feed.rss) names no pictures: the folder and the folders below ' +
                   'it hold no JPEG, GIF or PNG files.']
        },
        // The way round is the chooser of the picture list (offerChooser). Switching off the browser's
        // file-origin isolation is not offered: it would let every local page read every local file.
        refused: {
            short: 'picture list not readable',
            heading: 'The browser did not let this page read its picture list',
            text: ['If the file is no longer in that folder, the gallery has ended: make the gallery again.']
        },
        unreadable: {
            short: 'picture list not readable',
            heading: 'The picture list is damaged',
            text: ['The picture list of this gallery (feed.rss) is not a well-formed feed, so no picture can be ' +
                   'shown.']
        },
        nolink: {
            short: 'no picture list',
            heading: 'This page names no picture list',
            text: ['The page has no link to a picture feed, so there is nothing to show.']
        },
        allfailed: {
            short: 'pictures not found',
            heading: 'None of the pictures could be loaded',
            text: ['Each picture of this gallery failed to load. They may have been moved or deleted since the ' +
                   'gallery was made.']
        }
    };

    var started = false;
    var outcome = null;  // what reading the feed gave: {urls: [...]} or {problem: key of MESSAGES}
    var pictures = null; // load state of the feed's pictures: {urls, cache, failed}
    var show = null;     // the open show: its elements, position and timers
    var feedUrl = '';    // the feed the page names, also the base of the addresses in a chosen feed

    function element(tag, className, text) {
        var node = document.createElement(tag);
        if (className) {
            node.className = className;
        }
        if (text) {
            node.textContent = text;
        }
        return node;
    }

    function whenLoaded(callback) {
        if (document.readyState === 'complete') {
            callback();
            return;
        }
        window.addEventListener('load', callback);
    }

    function findFeedLink() {
        var links = document.getElementsByTagName('link');
        for (var i = 0; i < links.length; i++) {
            var rel = ' ' + (links[i].getAttribute('rel') || '').toLowerCase() + ' ';
            var type = (links[i].getAttribute('type') || '').toLowerCase();
            if (rel.indexOf(' alternate ') !== -1 && type === 'application/rss+xml' && links[i].href) {
                return links[i].href;
            }
        }
        return '';
    }

    // Reads the feed next to the page. A page opened from a local file may be refused this (the browser
    // reports a network error); the user is then offered to choose the file instead.
    function readFeed(url, done) {
        var finished = false;
        function finish(result) {
            if (!finished) {
                finished = true;
                done(result);
            }
        }
        var request = new XMLHttpRequest();
        request.onload = function () {
            // Local files answer with status 0 in some browsers and 200 in others.
            if (request.status !== 0 && (request.status < 200 || request.status > 299)) {
                finish({problem: 'refused'});
                return;
            }
            parseFeed(request.responseText, url, finish);
        };
        request.onerror = function () {
            finish({problem: 'refused'});
        };
        try {
            request.open('GET', url);
            // Plain text in the builder's code page: no XML document of the whole feed is built on the way.
            request.overrideMimeType('text/plain; charset=windows-1252');
            request.send();
        } catch (e) {
            finish({problem: 'refused'});
        }
    }

    // Pictures come from this computer only, also from a feed the user chose. The decision is made on
    // the address as the browser will load it: parsed by the browser's own parser against the feed's
    // address (blanks at either end, tabs and line breaks dropped, "\" read as "/", "." and ".."
    // segments, also coded as %2e, removed), it must be a file: address without a host whose path
    // does not begin with two slashes or backslashes, coded or not (on Windows that names a share on
    // the network, and the user's credentials go with the request). The picture element then gets
    // that parsed address, never the feed's text. Anything else is never fetched.
    // No local path is longer than 32,767 characters, each at most 3 once coded: a longer address (as
    // the feed writes it, before its entities are read) is refused before any other work.
    var MAX_ADDRESS = 'file:///'.length + 3 * 32767;
    var MAX_NAME = 255;
    var SHARE_PATH = /^\/(?:[\/\\]|%2f|%5c)/i;

    function localAddress(raw, base) {
        if (raw.length > MAX_ADDRESS) {
            return null;
        }
        var url;
        try {
            url = new URL(decodeEntities(raw), base);
        } catch (e) {
            return null;
        }
        return url.protocol === 'file:' && url.host === '' && !SHARE_PATH.test(url.pathname) ? url.href : null;
    }

    var ENTITY = /&(#x[0-9a-f]+|#[0-9]+|amp|lt|gt|quot|apos);/gi;
    var NAMED_ENTITIES = {amp: '&', lt: '<', gt: '>', quot: '"', apos: "'"};

    function decodeEntities(value) {
        return value.indexOf('&') === -1 ? value : value.replace(ENTITY, function (all, name) {
            if (name.charAt(0) !== '#') {
                return NAMED_ENTITIES[name.toLowerCase()];
            }
            var hex = name.charAt(1).toLowerCase() === 'x';
            var code = parseInt(name.substring(hex ? 2 : 1), hex ? 16 : 10);
            return code <= 0x10FFFF ? String.fromCodePoint(code) : all;
        });
    }

    // Blanks (1), and the other characters that end a tag's or an attribute's name (2): / > ! ? " ' = <
    var CHARACTER_KIND = new Uint8Array(128);
    ' \t\n\r'.split('').forEach(function (c) {
        CHARACTER_KIND[c.charCodeAt(0)] = 1;
    });
    '/>!?"\'=<'.split('').forEach(function (c) {
        CHARACTER_KIND[c.charCodeAt(0)] = 2;
    });

    function isBlank(c) {
        return c < 128 && CHARACTER_KIND[c] === 1;
    }

    function endsName(c) {
        return c < 128 && CHARACTER_KIND[c] !== 0;
    }

    // Reads the markup that begins with "<" at `from`, by index: a comment, a CDATA section, a
    // processing instruction, the document type, or a tag. Each end is found with indexOf or one pass
    // over the characters, never by trying again from an earlier place, so a whole feed is read in
    // time linear in its length. Returns {end} for markup that is not a tag, {end, name, closing: true}
    // for an end tag, {name, at, end: 0, empty} for a start tag, whose attributes readAttributes reads
    // from `at` on, or null when the markup is not well-formed (it runs to the end of the text, or an
    // end tag holds more than its name).
    function readMarkup(text, from) {
        var second = text.charCodeAt(from + 1);
        if (second !== 33 && second !== 63) {  // neither "!" nor "?"
            return readTag(text, from);
        }
        var end;
        if (text.startsWith('<!--', from)) {
            end = text.indexOf('-->', from + 4);
            return end === -1 ? null : {end: end + 3};
        }
        if (text.startsWith('<![CDATA[', from)) {
            end = text.indexOf(']]>', from + 9);
            return end === -1 ? null : {end: end + 3};
        }
        if (text.startsWith('<?', from)) {
            end = text.indexOf('?>', from + 2);
            return end === -1 ? null : {end: end + 2};
        }
        if (text.startsWith('<!DOCTYPE', from)) {
            return readDocumentType(text, from + 9);
        }
        return readTag(text, from);
    }

    // The document type after "<!DOCTYPE": quoted literals, and an internal subset in brackets whose
    // literals and comments may hold "]" and ">".
    function readDocumentType(text, i) {
        var inSubset = false;
        while (i < text.length) {
            var c = text.charAt(i);
            if (c === '"' || c === "'") {
                i = text.indexOf(c, i + 1);
            } else if (inSubset && text.startsWith('<!--', i)) {
                i = text.indexOf('-->', i + 4);
            } else if (c === '>' && !inSubset) {
                return {end: i + 1};
            } else if (c === '[' || c === ']') {
                inSubset = c === '[';
            }
            if (i === -1) {
                return null;
            }
            i++;
        }
        return null;
    }

    function readTag(text, from) {
        var length = text.length;
        var i = from + 1;
        var closing = text.charCodeAt(i) === 47;
        if (closing) {
            i++;
        }
        var start = i;
        while (i < length && !endsName(text.charCodeAt(i))) {
            i++;
        }
        if (i === start) {
            return null;
        }
        var name = text.substring(start, i);
        if (!closing) {
            return {name: name, at: i, end: 0, empty: false};
        }
        while (i < length && isBlank(text.charCodeAt(i))) {
            i++;
        }
        return text.charCodeAt(i) === 62 ? {end: i + 1, name: name, closing: true} : null;
    }

    // Reads the attributes (name="value" or name='value') of a start tag from tag.at on, at most
    // `budget` of them, and hands each to attribute(name start, name end, value start, value end).
    // Returns the budget left, or -1 when the tag holds something other than attributes; tag.end is
    // set once the tag has been read to its ">" or "/>", else tag.at is where the next call goes on.
    function readAttributes(text, tag, budget, attribute) {
        var length = text.length;
        var i = tag.at;
        for (;;) {
            while (i < length && isBlank(text.charCodeAt(i))) {
                i++;
            }
            var c = text.charCodeAt(i);
            if (c === 62 || (c === 47 && text.charCodeAt(i + 1) === 62)) {  // ">" or "/>"
                tag.empty = c === 47;
                tag.end = i + (tag.empty ? 2 : 1);
                return budget;
            }
            if (budget === 0) {
                tag.at = i;
                return 0;
            }
            budget--;
            var start = i;
            while (i < length && !endsName(text.charCodeAt(i))) {
                i++;
            }
            var nameEnd = i;
            while (i < length && isBlank(text.charCodeAt(i))) {
                i++;
            }
            if (nameEnd === start || text.charCodeAt(i) !== 61) {  // "="
                return -1;
            }
            i++;
            while (i < length && isBlank(text.charCodeAt(i))) {
                i++;
            }
            c = text.charCodeAt(i);
            var close = c === 34 || c === 39 ? text.indexOf(text.charAt(i), i + 1) : -1;
            if (close === -1) {
                return -1;
            }
            attribute(start, nameEnd, i + 1, close);
            i = close + 1;
        }
    }

    // The media:content elements in document order give the pictures; the thumbnails are not used.
    // One pass over the markup, in slices so that the page stays responsive while a feed of a hundred
    // thousand items, or a tag of as many attributes, is read: the tags must nest under one root (a
    // damaged or cut-off feed is refused), and an element counts when its prefix is bound to the Media
    // RSS namespace where it stands. Any failure while reading, whatever the text, ends in the answer
    // that it is no picture list. The answer's `refused` lists the pictures that are not local files.
    function parseFeed(text, feedUrl, done) {
        var open = [];            // the open elements: {name, bound: the namespace keys they bind, or null}
        var spaces = new Map();   // namespace key ("xmlns" or "xmlns:prefix") -> URIs bound, innermost last
        var rootSeen = false;
        var urls = [];
        var refused = [];
        var at = 0;               // end of the markup read so far
        var tag = null;           // the start tag being read, its element and its url attribute
        var element = null;
        var url = null;

        function namespaceOf(prefix) {
            var uris = spaces.get(prefix ? 'xmlns:' + prefix : 'xmlns');
            return uris && uris.length > 0 ? uris[uris.length - 1] : '';
        }

        function close(element) {
            for (var i = 0; element.bound && i < element.bound.length; i++) {
                spaces.get(element.bound[i]).pop();
            }
        }

        // Text outside the root element may only be blank.
        function blankOutsideRoot(from, to) {
            return open.length > 0 || !/\S/.test(text.substring(from, to));
        }

        // A namespace binding applies at once (the element's own name is resolved once its tag has
        // been read); of a content element the url is kept.
        function attribute(start, nameEnd, valueStart, valueEnd) {
            if (text.startsWith('xmlns', start) && (nameEnd - start === 5 || text.charCodeAt(start + 5) === 58)) {
                var key = text.substring(start, nameEnd);
                var uris = spaces.get(key);
                if (!uris) {
                    uris = [];
                    spaces.set(key, uris);
                }
                uris.push(decodeEntities(text.substring(valueStart, valueEnd)));
                element.bound = element.bound || [];
                element.bound.push(key);
            } else if (element.local === 'content' && nameEnd - start === 3 && text.startsWith('url', start)) {
                url = text.substring(valueStart, valueEnd);
            }
        }

        function openElement() {
            if (url !== null && namespaceOf(element.prefix) === MEDIA_NS) {
                var address = localAddress(url, feedUrl);
                if (address === null) {
                    refused.push(urls.length);
                    address = url.length > MAX_ADDRESS ? url : decodeEntities(url);
                }
                urls.push(address);
            }
            if (tag.empty) {
                close(element);
            } else {
                open.push(element);
            }
        }

        // The outcome once the text is read, or null while there is more to read.
        function readSlice() {
            var budget = SCAN_SLICE;
            for (;;) {
                if (tag) {
                    budget = readAttributes(text, tag, budget, attribute);
                    if (budget < 0) {
                        return {problem: 'unreadable'};
                    }
                    if (tag.end === 0) {
                        return null;
                    }
                    at = tag.end;
                    openElement();
                    tag = null;
                }
                if (budget-- === 0) {
                    return null;
                }
                var next = text.indexOf('<', at);
                if (!blankOutsideRoot(at, next === -1 ? text.length : next)) {
                    return {problem: 'unreadable'};
                }
                if (next === -1) {
                    return open.length > 0 || !rootSeen ? {problem: 'unreadable'} :
                        urls.length > 0 ? {urls: urls, refused: refused} : {problem: 'empty'};
                }
                var markup = readMarkup(text, next);
                if (markup === null) {
                    return {problem: 'unreadable'};
                }
                if (markup.name === undefined) {
                    at = markup.end;
                    continue;
                }
                if (markup.closing) {
                    at = markup.end;
                    var last = open.pop();
                    if (!last || last.name !== markup.name) {
                        return {problem: 'unreadable'};
                    }
                    close(last);
                    continue;
                }
                if (open.length === 0 && rootSeen) {
                    return {problem: 'unreadable'};
                }
                rootSeen = true;
                tag = markup;
                var colon = tag.name.indexOf(':');
                element = {name: tag.name, bound: null, prefix: colon === -1 ? '' : tag.name.substring(0, colon),
                           local: tag.name.substring(colon + 1)};
                url = null;
            }
        }

        function slice() {
            var outcome;
            try {
                outcome = readSlice();
            } catch (e) {
                outcome = {problem: 'unreadable'};
            }
            if (outcome) {
                done(outcome);
            } else {
                setTimeout(slice, 0);
            }
        }
        slice();
    }

    // Bytes coded as %XX, read as Windows-1252: the gallery builder codes each byte of a Windows-1252
    // path that way, so the text is not UTF-8.
    function decodeBytes(coded) {
        var bytes = [];
        for (var i = 0; i < coded.length; i++) {
            var hex = coded.substr(i + 1, 2);
            if (coded.charAt(i) === '%' && /^[0-9a-fA-F]{2}$/.test(hex)) {
                bytes.push(parseInt(hex, 16));
                i += 2;
            } else {
                bytes.push(coded.charCodeAt(i) & 0xFF);
            }
        }
        if (typeof TextDecoder !== 'undefined') {
            try {
                return new TextDecoder('windows-1252').decode(new Uint8Array(bytes));
            } catch (e) {
                // An old browser without that code page: Latin-1 below is nearly the same.
            }
        }
        return String.fromCharCode.apply(null, bytes);
    }

    function urlPath(url) {
        var end = url.search(/[?#]/);
        return end === -1 ? url : url.substring(0, end);
    }

    // The end of a longer name is cut to what a Windows file name can be, so that naming a refused
    // address of megabytes costs no more than naming a picture.
    function fileName(url) {
        var path = urlPath(url);
        var name = path.substring(path.lastIndexOf('/') + 1);
        return decodeBytes(name.length > 3 * MAX_NAME ? name.slice(-3 * MAX_NAME) : name);
    }

    // The folder of a file URL as the user knows it: C:\WINDOWS\temp on Windows, /tmp elsewhere.
    function folderName(url) {
        var path = urlPath(url);
        path = path.substring(0, path.lastIndexOf('/'));
        if (!/^file:/i.test(path)) {
            return path;
        }
        var local = decodeBytes(path.replace(/^file:\/*/i, '/'));
        return /^\/[A-Za-z]:/.test(local) ? local.substring(1).replace(/\//g, '\\') : local;
    }

    // Pictures are loaded through Image objects; only the current picture and its neighbours are kept,
    // so a gallery of many thousand pictures holds three at a time. Failures are remembered by index;
    // an address that is not a local file failed from the start and is never fetched (see localAddress).
    function loadPicture(index, done) {
        if (pictures.failed[index]) {
            done(null);
            return;
        }
        var entry = pictures.cache[index];
        if (!entry) {
            entry = {state: 'loading', image: new Image(), waiters: []};
            entry.image.onload = function () {
                settle(entry, 'ok');
            };
            entry.image.onerror = function () {
                settle(entry, 'failed');
            };
            entry.image.src = pictures.urls[index];
            pictures.cache[index] = entry;
        }
        if (entry.state === 'loading') {
            entry.waiters.push(done);
            return;
        }
        done(entry.state === 'ok' ? entry.image : null);
    }

    function settle(entry, state) {
        entry.state = state;
        var waiters = entry.waiters;
        entry.waiters = [];
        for (var i = 0; i < waiters.length; i++) {
            waiters[i](state === 'ok' ? entry.image : null);
        }
    }

    // Forgets every picture but `index` and its neighbours. Their image data goes at once, not when the
    // page's garbage is next collected: a load still running is cancelled (moving fast through large
    // pictures would otherwise leave one running for each picture passed) and a decoded picture is
    // freed. The picture on screen stays until the next one replaces it.
    function forgetFar(index) {
        for (var key in pictures.cache) {
            if (Math.abs(Number(key) - index) > 1) {
                var image = pictures.cache[key].image;
                delete pictures.cache[key];
                if (!image.parentNode) {
                    release(image);
                }
            }
        }
    }

    function isKept(image) {
        for (var key in pictures.cache) {
            if (pictures.cache[key].image === image) {
                return true;
            }
        }
        return false;
    }

    function release(image) {
        image.onload = image.onerror = null;
        image.src = '';
    }

    function keepLoaded(index) {
        forgetFar(index);
        for (var near = index - 1; near <= index + 1; near += 2) {
            if (near >= 0 && near < pictures.urls.length && !pictures.failed[near]) {
                loadPicture(near, markFailed(near));
            }
        }
    }

    function markFailed(index) {
        return function (image) {
            if (!image) {
                pictures.failed[index] = true;
            }
        };
    }

    // The first index from `from` in direction `step` (1 or -1) that has not failed, or -1.
    function usableFrom(from, step) {
        for (var i = from; i >= 0 && i < pictures.urls.length; i += step) {
            if (!pictures.failed[i]) {
                return i;
            }
        }
        return -1;
    }

    function start() {
        if (started) {
            return;
        }
        started = true;
        feedUrl = findFeedLink();
        if (!feedUrl) {
            outcome = {problem: 'nolink'};
        } else {
            readFeed(feedUrl, arrived);
        }
        // The show opens when the hold ends, whether the feed has been read or not: the gallery builder
        // gives up on a viewer window that does not appear within seconds.
        whenLoaded(function () {
            var style = element('style');
            style.textContent = CSS;
            (document.head || document.documentElement).appendChild(style);
            setStatus('Loading the gallery\u2026', false);
            setTimeout(openShow, HOLD_MS);
        });
    }

    // The feed has been read, refused or chosen by the user; an open show waiting for it goes on.
    function arrived(result) {
        outcome = result;
        if (result.urls) {
            pictures = {urls: result.urls, cache: {}, failed: {}};
            for (var i = 0; i < result.refused.length; i++) {
                pictures.failed[result.refused[i]] = true;
            }
            loadPicture(0, markFailed(0));
        }
        if (show && show.waiting) {
            present();
        }
    }

    function setStatus(text, offerRestart) {
        var status = document.getElementById('pll-status');
        if (!status) {
            status = element('p', 'pll-status');
            status.id = 'pll-status';
            document.body.appendChild(status);
        }
        status.textContent = text;
        if (offerRestart) {
            var again = element('button', '', 'Show again');
            again.addEventListener('click', openShow);
            status.appendChild(again);
        }
    }

    function openShow() {
        if (show) {
            return;
        }
        var root = element('div');
        root.id = 'pll-show';
        show = {
            root: root,
            stage: element('div', 'pll-stage'),
            caption: element('div', 'pll-caption'),
            position: element('span', 'pll-position'),
            name: element('span', 'pll-name'),
            auto: element('span', 'pll-auto'),
            note: element('div', 'pll-note'),
            index: 0,
            autoAdvance: false,
            advanceTimer: 0,
            noteTimer: 0,
            swipeFrom: null,
            swiped: false,
            skippedCount: 0,  // pictures skipped since the last one shown
            skippedLast: [],  // the last few of them, by index
            messageOnly: false,
            waiting: false    // for the feed: still being read, or refused and to be chosen
        };
        var closeButton = element('button', 'pll-close', '\u00D7');
        closeButton.title = 'Close (Esc)';
        closeButton.addEventListener('click', closeShow);
        show.caption.appendChild(show.position);
        show.caption.appendChild(show.name);
        show.caption.appendChild(show.auto);
        root.appendChild(show.stage);
        root.appendChild(show.caption);
        root.appendChild(show.note);
        root.appendChild(closeButton);
        document.body.appendChild(root);
        document.addEventListener('keydown', onKey, true);
        root.addEventListener('click', onClick);
        if (window.PointerEvent) {
            root.addEventListener('pointerdown', onPointerDown);
            root.addEventListener('pointerup', onPointerUp);
        } else {
            root.addEventListener('touchstart', onTouchStart);
            root.addEventListener('touchend', onTouchEnd);
        }
        root.addEventListener('dragstart', function (event) {
            event.preventDefault();
        });

        present();
    }

    // Shows what the feed gave: its pictures, a message, the chooser when the browser refused the feed,
    // or, while the feed is still being read, a message that says so.
    function present() {
        show.waiting = !outcome || outcome.problem === 'refused';
        if (!outcome) {
            showMessage('loading');
        } else if (outcome.urls) {
            show.messageOnly = false;
            show.caption.style.display = '';
            show.stage.innerHTML = '';
            go(0, 1);
        } else {
            showMessage(outcome.problem);
        }
    }

    function closeShow() {
        if (!show) {
            return;
        }
        clearTimeout(show.advanceTimer);
        clearTimeout(show.noteTimer);
        document.removeEventListener('keydown', onKey, true);
        show.root.parentNode.removeChild(show.root);
        show = null;
        document.title = PAGE_TITLE;
        setStatus('The slide show has been closed.', true);
    }

    function showMessage(key) {
        var message = MESSAGES[key];
        show.messageOnly = true;
        clearTimeout(show.advanceTimer);
        show.stage.innerHTML = '';
        show.caption.style.display = 'none';
        var box = element('div', 'pll-message');
        box.setAttribute('role', 'alert');
        box.appendChild(element('h1', '', message.heading));
        if (key === 'refused') {
            box.appendChild(offerChooser());
        }
        for (var i = 0; i < message.text.length; i++) {
            var paragraph = element('div');
            paragraph.innerHTML = message.text[i].charAt(0) === '<' ? message.text[i] : '<p>' + message.text[i] + '</p>';
            box.appendChild(paragraph);
        }
        var closeButton = element('button', '', 'Close');
        closeButton.addEventListener('click', closeShow);
        box.appendChild(element('p', '', 'Press Esc or click Close to close this message. '));
        box.lastChild.appendChild(closeButton);
        show.stage.appendChild(box);
        document.title = SHOW_TITLE + ' - ' + message.short;
    }

    // The way round a refused feed that needs no settings: the user chooses the feed file (or drops it
    // on the page), which is read here and shown like a feed read directly.
    function offerChooser() {
        var name = fileName(feedUrl);
        var zone = element('div', 'pll-choose');
        var intro = element('p', '', 'Choose the picture list of this gallery, ');
        intro.appendChild(element('code', '', name));
        intro.appendChild(document.createTextNode(' in the folder '));
        intro.appendChild(element('code', '', folderName(feedUrl)));
        intro.appendChild(document.createTextNode(', or drop that file here, and the show starts.'));
        var input = element('input');
        input.type = 'file';
        input.accept = '.rss,.xml,application/rss+xml,text/xml';
        input.style.display = 'none';
        var button = element('button', '', 'Choose the picture list');
        var state = element('p', 'pll-state');
        zone.appendChild(intro);
        zone.appendChild(button);
        zone.appendChild(input);
        zone.appendChild(state);

        function readChosen(file) {
            if (!file) {
                return;
            }
            state.className = 'pll-state';
            state.textContent = 'Reading ' + file.name + '\u2026';
            var reader = new FileReader();
            reader.onload = function () {
                parseFeed(String(reader.result), feedUrl, function (result) {
                    if (outcome.urls) {
                        return;  // a file chosen before this one is already shown
                    }
                    if (result.urls) {
                        arrived(result);
                        return;
                    }
                    state.className = 'pll-problem';
                    state.textContent = file.name + (result.problem === 'empty' ? ' names no pictures.' :
                        ' is not a picture list.') + ' Choose ' + name + ' from the folder above.';
                });
            };
            reader.onerror = function () {
                state.className = 'pll-problem';
                state.textContent = file.name + ' could not be read.';
            };
            reader.readAsText(file, 'windows-1252');
        }

        button.addEventListener('click', function () {
            input.click();
        });
        input.addEventListener('change', function () {
            readChosen(input.files[0]);
            input.value = '';
        });
        // The whole page is the drop zone: a file dropped beside the box would otherwise be opened by
        // the browser in place of the page.
        show.root.addEventListener('dragover', function (event) {
            if (show && show.waiting) {
                event.preventDefault();
                event.dataTransfer.dropEffect = 'copy';
                zone.classList.add('pll-over');
            }
        });
        show.root.addEventListener('dragleave', function () {
            zone.classList.remove('pll-over');
        });
        show.root.addEventListener('drop', function (event) {
            if (show && show.waiting) {
                event.preventDefault();
                zone.classList.remove('pll-over');
                readChosen(event.dataTransfer.files[0]);
            }
        });
        setTimeout(function () {
            button.focus();
        }, 0);
        return zone;
    }

    // Makes `index` the current picture and shows it once it has loaded. A picture that fails is
    // skipped in the direction of travel (`step`), turning back at the end of the list; the note
    // counts the pictures skipped since the last one shown and names the last few.
    // Skipping is a loop, however long the run of failed pictures, with one note at its end.
    function go(index, step) {
        var skipped = pictures.failed[index];
        while (pictures.failed[index]) {
            show.skippedCount++;
            show.skippedLast.push(index);
            if (show.skippedLast.length > SKIPPED_NAMES) {
                show.skippedLast.shift();
            }
            var next = index + step;
            if (next < 0 || next >= pictures.urls.length) {
                step = -step;
                next = usableFrom(index + step, step);
            }
            if (next === -1) {
                noteSkipped();
                showMessage('allfailed');
                return;
            }
            index = next;
        }
        if (skipped) {
            noteSkipped();
        }
        var count = pictures.urls.length;
        show.index = index;
        clearTimeout(show.advanceTimer);
        show.position.textContent = (index + 1) + ' / ' + count;
        show.name.textContent = fileName(pictures.urls[index]);
        document.title = SHOW_TITLE + ' - ' + (index + 1) + ' / ' + count;
        forgetFar(index);
        loadPicture(index, function (image) {
            if (!show || show.messageOnly || show.index !== index) {
                return;
            }
            if (!image) {
                pictures.failed[index] = true;
                go(index, step);
                return;
            }
            image.className = 'pll-picture';
            image.alt = fileName(pictures.urls[index]);
            image.draggable = false;
            var replaced = show.stage.firstChild;
            show.stage.innerHTML = '';
            show.stage.appendChild(image);
            show.skippedCount = 0;
            show.skippedLast = [];
            keepLoaded(index);
            if (replaced && replaced.tagName === 'IMG' && replaced !== image && !isKept(replaced)) {
                release(replaced);
            }
            scheduleAdvance();
        });
    }

    function noteSkipped() {
        var names = show.skippedLast.map(function (index) {
            return fileName(pictures.urls[index]);
        }).join(', ');
        note(show.skippedCount <= SKIPPED_NAMES ? 'Skipped, could not be loaded: ' + names :
            'Skipped ' + show.skippedCount + ' pictures that could not be loaded, the last: ' + names);
    }

    function stepBy(step) {
        var next = show.index + step;
        if (next < 0 || next >= pictures.urls.length) {
            note(step > 0 ? 'This is the last picture.' : 'This is the first picture.');
            return;
        }
        go(next, step);
    }

    function goToEnd(step) {
        var target = step < 0 ? 0 : pictures.urls.length - 1;
        if (target !== show.index) {
            go(target, -step);
        }
    }

    // Automatic advance runs round: after the last picture it starts again at the first.
    function scheduleAdvance() {
        clearTimeout(show.advanceTimer);
        if (!show.autoAdvance) {
            return;
        }
        show.advanceTimer = setTimeout(function () {
            var next = usableFrom(show.index + 1, 1);
            if (next === -1) {
                next = usableFrom(0, 1);
            }
            if (next === show.index) {
                scheduleAdvance();
                return;
            }
            go(next, 1);
        }, ADVANCE_MS);
    }

    function toggleAdvance() {
        show.autoAdvance = !show.autoAdvance;
        show.auto.textContent = show.autoAdvance ? '\u25B6 automatic' : '';
        note(show.autoAdvance ? 'Automatic advance on (P stops it).' : 'Automatic advance off.');
        if (show.autoAdvance) {
            scheduleAdvance();
        } else {
            clearTimeout(show.advanceTimer);
        }
    }

    function note(text) {
        clearTimeout(show.noteTimer);
        show.note.textContent = text;
        show.note.style.display = 'block';
        show.noteTimer = setTimeout(function () {
            if (show) {
                show.note.style.display = 'none';
            }
        }, NOTE_MS);
    }

    function onKey(event) {
        if (!show || event.ctrlKey || event.altKey || event.metaKey) {
            return;
        }
        var key = event.key;
        if (key === 'Escape' || key === 'Esc') {
            event.preventDefault();
            closeShow();
            return;
        }
        if (show.messageOnly) {
            return;
        }
        switch (key) {
            case 'ArrowRight':
            case 'ArrowDown':
            case 'PageDown':
            case 'Right':
            case 'Down':
                stepBy(1);
                break;
            case 'ArrowLeft':
            case 'ArrowUp':
            case 'PageUp':
            case 'Left':
            case 'Up':
                stepBy(-1);
                break;
            case ' ':
            case 'Spacebar':
                stepBy(event.shiftKey ? -1 : 1);
                break;
            case 'Home':
                goToEnd(-1);
                break;
            case 'End':
                goToEnd(1);
                break;
            case 'p':
            case 'P':
                toggleAdvance();
                break;
            default:
                return;
        }
        event.preventDefault();
    }

    // A click on the left half goes back, on the right half forward. A drag that was a swipe also
    // ends in a click, which is then ignored.
    function onClick(event) {
        if (!show || show.messageOnly || event.target.tagName === 'BUTTON') {
            return;
        }
        if (show.swiped) {
            show.swiped = false;
            return;
        }
        stepBy(event.clientX < show.root.clientWidth / 2 ? -1 : 1);
    }

    function swipeStart(x, y) {
        show.swipeFrom = {x: x, y: y};
        show.swiped = false;
    }

    function swipeEnd(x, y) {
        var from = show.swipeFrom;
        show.swipeFrom = null;
        if (!from || show.messageOnly) {
            return;
        }
        var dx = x - from.x;
        var dy = y - from.y;
        if (Math.abs(dx) < SWIPE_PX || Math.abs(dx) <= Math.abs(dy)) {
            return;
        }
        show.swiped = true;
        stepBy(dx < 0 ? 1 : -1);
    }

    function onPointerDown(event) {
        swipeStart(event.clientX, event.clientY);
    }

    function onPointerUp(event) {
        swipeEnd(event.clientX, event.clientY);
    }

    function onTouchStart(event) {
        swipeStart(event.changedTouches[0].clientX, event.changedTouches[0].clientY);
    }

    function onTouchEnd(event) {
        swipeEnd(event.changedTouches[0].clientX, event.changedTouches[0].clientY);
    }

    window.PicLensLite = {start: start};
})();
