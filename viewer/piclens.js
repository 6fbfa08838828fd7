/*
 * PicLens Lite: the slide-show viewer that the gallery page starts. It reads the Media RSS feed the
 * page announces and shows its pictures one at a time, full-window, until the user closes the show.
 * Plain script and CSS in one file; it loads nothing but the feed and the pictures the feed names.
 *
 * The gallery builder finds the browser window by its title: the page keeps "view gallery" for a
 * while after it has loaded, the title begins with "PicLens" while the show (or one of its messages)
 * is open, and it is "view gallery" again once the show has been closed.
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
        '#pll-show .pll-message code { color: #fff; }'
    ].join('\n');

    // What the user reads when there is nothing to show: a short form for the window title, a
    // heading, and paragraphs (plain text or an HTML list of steps).
    var MESSAGES = {
        empty: {
            short: 'no pictures',
            heading: 'No pictures to show',
            text: ['The picture list of this gallery (feed.rss) names no pictures: the folder and the folders below ' +
                   'it hold no JPEG, GIF or PNG files.']
        },
        refused: {
            short: 'picture list not readable',
            heading: 'The browser did not let this page read its picture list',
            text: ['The picture list, feed.rss, lies in the same folder as this page, but browsers refuse by ' +
                   'default to let a page opened from a local file read other local files. To allow it:',
                   '<ul><li>Firefox: open <code>about:config</code> and set ' +
                   '<code>security.fileuri.strict_origin_policy</code> to <code>false</code> (in some ' +
                   'older versions also <code>privacy.file_unique_origin</code>).</li>' +
                   '<li>Chrome, Chromium or Edge: start the browser with the option ' +
                   '<code>--allow-file-access-from-files</code>.</li></ul>',
                   'Then make the gallery again. (If the file has been deleted meanwhile, it cannot be read ' +
                   'either.)']
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
    // reports a network error); the user is then told how to allow it.
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
            finish(parseFeed(request.responseText, url));
        };
        request.onerror = function () {
            finish({problem: 'refused'});
        };
        try {
            request.open('GET', url);
            request.send();
        } catch (e) {
            finish({problem: 'refused'});
        }
    }

    function resolveUrl(url, base) {
        try {
            return new URL(url, base).href;
        } catch (e) {
            return url;
        }
    }

    // The media:content elements in document order give the pictures; the thumbnails are not used.
    function parseFeed(text, feedUrl) {
        var doc = new DOMParser().parseFromString(text || '', 'application/xml');
        if (!doc.documentElement || doc.getElementsByTagName('parsererror').length > 0) {
            return {problem: 'unreadable'};
        }
        var contents = doc.getElementsByTagNameNS(MEDIA_NS, 'content');
        var urls = [];
        for (var i = 0; i < contents.length; i++) {
            var url = contents[i].getAttribute('url');
            if (url) {
                urls.push(resolveUrl(url, feedUrl));
            }
        }
        return urls.length > 0 ? {urls: urls} : {problem: 'empty'};
    }

    // The gallery builder codes each byte of a Windows-1252 path as %XX, so the name is decoded as
    // Windows-1252, not as UTF-8.
    function fileName(url) {
        var path = url.split('?')[0].split('#')[0];
        var coded = path.substring(path.lastIndexOf('/') + 1);
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

    // Pictures are loaded through Image objects; only the current picture and its neighbours are kept,
    // so a gallery of many thousand pictures holds three at a time. Failures are remembered by index.
    function loadPicture(index, done) {
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

    function keepLoaded(index) {
        for (var key in pictures.cache) {
            var distance = Math.abs(Number(key) - index);
            if (distance > 1) {
                var image = pictures.cache[key].image;
                image.onload = image.onerror = null;
                delete pictures.cache[key];
            }
        }
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
        var held = false;
        function proceed() {
            if (outcome && held) {
                openShow();
            }
        }
        var feedUrl = findFeedLink();
        if (!feedUrl) {
            outcome = {problem: 'nolink'};
        } else {
            readFeed(feedUrl, function (result) {
                outcome = result;
                if (result.urls) {
                    pictures = {urls: result.urls, cache: {}, failed: {}};
                    loadPicture(0, markFailed(0));
                }
                proceed();
            });
        }
        whenLoaded(function () {
            var style = element('style');
            style.textContent = CSS;
            (document.head || document.documentElement).appendChild(style);
            setStatus('Loading the gallery\u2026', false);
            setTimeout(function () {
                held = true;
                proceed();
            }, HOLD_MS);
        });
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
            skipped: [],
            messageOnly: false
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

        if (!outcome.urls) {
            showMessage(outcome.problem);
            return;
        }
        go(0, 1);
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

    // Makes `index` the current picture and shows it once it has loaded. A picture that fails is
    // skipped in the direction of travel (`step`), turning back at the end of the list; the note
    // names every picture skipped since the last one shown.
    function go(index, step) {
        while (pictures.failed[index]) {
            show.skipped.push(fileName(pictures.urls[index]));
            note('Skipped, could not be loaded: ' + show.skipped.join(', '));
            var next = index + step;
            if (next < 0 || next >= pictures.urls.length) {
                step = -step;
                next = usableFrom(index + step, step);
            }
            if (next === -1) {
                showMessage('allfailed');
                return;
            }
            index = next;
        }
        var count = pictures.urls.length;
        show.index = index;
        clearTimeout(show.advanceTimer);
        show.position.textContent = (index + 1) + ' / ' + count;
        show.name.textContent = fileName(pictures.urls[index]);
        document.title = SHOW_TITLE + ' - ' + (index + 1) + ' / ' + count;
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
            show.stage.innerHTML = '';
            show.stage.appendChild(image);
            show.skipped = [];
            keepLoaded(index);
            scheduleAdvance();
        });
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
