// The browser half of the web device (zk_device_web.cpp): the page's canvas,
// pointer events as the stylus, and the yield that lets the browser run
// while the engine waits. Linked with --js-library; the page around it is
// zk_web_shell.html.
//
// window.zkWeb tells the page (and the browser test) how the program is
// doing: shows counts the pictures put on the canvas; firstFrame holds the
// picture of the window's second paint, the first composed frame (the first
// paint shows the still black buffer); ended is set when the program has
// closed its window.

mergeInto(LibraryManager.library, {
  $ZkWeb__postset: 'ZkWeb.init();',
  $ZkWeb: {
    W: 240,
    H: 320,
    canvas: null,
    context: null,
    image: null,
    pixels: null,    // the image's pixels as 32-bit RGBA words
    rgba: null,      // RGB565 -> RGBA word, for all 65536 colours
    events: [],      // [message, x, y], oldest first
    pointer: null,   // the pointer acting as the stylus while it is down
    wake: null,      // resumes the program after a sleep
    channel: null,

    init: function() {
      var status = { shows: 0, firstFrame: null, ended: false };
      if (typeof window !== 'undefined') window.zkWeb = status;
      ZkWeb.status = status;
    },

    // The largest whole number of device pixels per screen pixel that fits
    // the page, the picture centred on a device-pixel boundary, so that
    // every screen pixel is an equal square of device pixels.
    layout: function() {
      var c = ZkWeb.canvas, ratio = window.devicePixelRatio || 1;
      var pageW = document.documentElement.clientWidth, pageH = document.documentElement.clientHeight;
      var scale = Math.max(1, Math.floor(Math.min(pageW * ratio / ZkWeb.W, pageH * ratio / ZkWeb.H)));
      c.style.width = (ZkWeb.W * scale / ratio) + 'px';
      c.style.height = (ZkWeb.H * scale / ratio) + 'px';
      c.style.left = (Math.max(0, Math.floor((pageW * ratio - ZkWeb.W * scale) / 2)) / ratio) + 'px';
      c.style.top = (Math.max(0, Math.floor((pageH * ratio - ZkWeb.H * scale) / 2)) / ratio) + 'px';
      // A zoom or a move to another screen changes the ratio without a resize.
      if (ZkWeb.ratioQuery) ZkWeb.ratioQuery.removeEventListener('change', ZkWeb.layout);
      ZkWeb.ratioQuery = window.matchMedia('(resolution: ' + ratio + 'dppx)');
      ZkWeb.ratioQuery.addEventListener('change', ZkWeb.layout);
    },

    // Page coordinates to device pixels. Points outside the picture map
    // outside 0..239 x 0..319, as a captured drag should.
    toDevice: function(e) {
      var r = ZkWeb.canvas.getBoundingClientRect();
      var x = Math.floor((e.clientX - r.left) * ZkWeb.W / r.width);
      var y = Math.floor((e.clientY - r.top) * ZkWeb.H / r.height);
      var clamp = function(v) { return Math.max(-32768, Math.min(32767, v)); };
      return [clamp(x), clamp(y)];
    },

    post: function(message, e) {
      var p = ZkWeb.toDevice(e);
      ZkWeb.events.push([message, p[0], p[1]]);
    },

    listen: function() {
      var c = ZkWeb.canvas;
      var WM_MOUSEMOVE = 0x200, WM_LBUTTONDOWN = 0x201, WM_LBUTTONUP = 0x202;
      c.addEventListener('pointerdown', function(e) {
        e.preventDefault();
        if (ZkWeb.pointer !== null || (e.pointerType === 'mouse' && e.button !== 0)) return;
        ZkWeb.pointer = e.pointerId;
        c.setPointerCapture(e.pointerId);
        ZkWeb.post(WM_LBUTTONDOWN, e);
      });
      c.addEventListener('pointermove', function(e) {
        if (e.pointerId !== ZkWeb.pointer) return;
        e.preventDefault();
        // Movements the browser merged into this event arrive one by one.
        var all = e.getCoalescedEvents ? e.getCoalescedEvents() : [];
        if (all.length === 0) all = [e];
        for (var i = 0; i < all.length; ++i) ZkWeb.post(WM_MOUSEMOVE, all[i]);
      });
      var up = function(e) {
        if (e.pointerId !== ZkWeb.pointer) return;
        ZkWeb.pointer = null;
        ZkWeb.post(WM_LBUTTONUP, e);
      };
      c.addEventListener('pointerup', up);
      c.addEventListener('pointercancel', up);
      c.addEventListener('lostpointercapture', up);
      // No scrolling, zooming, selection or menus on the picture.
      var stop = function(e) { e.preventDefault(); };
      ['touchstart', 'touchmove', 'touchend', 'gesturestart', 'contextmenu', 'dblclick'].forEach(function(name) {
        c.addEventListener(name, stop, { passive: false });
      });
      document.addEventListener('touchmove', stop, { passive: false });
      window.addEventListener('resize', ZkWeb.layout);
    },

    // RGB565 to 8-bit channels by repeating each channel's top bits, as the
    // recorder's PNG and GIF files store them.
    makeColours: function() {
      var table = new Uint32Array(65536);
      var little = new Uint8Array(new Uint32Array([1]).buffer)[0] === 1;
      for (var c = 0; c < 65536; ++c) {
        var r = c >> 11, g = (c >> 5) & 63, b = c & 31;
        r = (r << 3) | (r >> 2);
        g = (g << 2) | (g >> 4);
        b = (b << 3) | (b >> 2);
        table[c] = little ? (0xFF000000 | (b << 16) | (g << 8) | r) >>> 0 : ((r << 24) | (g << 16) | (b << 8) | 0xFF) >>> 0;
      }
      return table;
    },

    // Shows the ending over the last picture, with a way to start again.
    end: function(text) {
      if (ZkWeb.status.ended) return;
      ZkWeb.status.ended = true;
      if (typeof document === 'undefined') return;
      if (ZkWeb.canvas) ZkWeb.canvas.classList.add('zk-ended');
      var message = document.getElementById('zk-message');
      var line = document.getElementById('zk-message-text');
      if (line) line.textContent = text;
      if (message) message.classList.add('zk-shown');
      var again = document.getElementById('zk-restart');
      if (again) again.focus();
    },
  },

  zk_web_open__deps: ['$ZkWeb'],
  zk_web_open: function(title) {
    document.title = UTF8ToString(title);
    var c = document.getElementById('zk-screen');
    if (!c) return 0;
    ZkWeb.canvas = c;
    ZkWeb.context = c.getContext('2d', { alpha: false });
    ZkWeb.image = ZkWeb.context.createImageData(ZkWeb.W, ZkWeb.H);
    ZkWeb.pixels = new Uint32Array(ZkWeb.image.data.buffer);
    ZkWeb.rgba = ZkWeb.makeColours();
    ZkWeb.layout();
    ZkWeb.listen();
    var loading = document.getElementById('zk-loading');
    if (loading) loading.remove();
    return 1;
  },

  // Puts the picture of the window's paint number `paint` on the canvas.
  zk_web_show__deps: ['$ZkWeb'],
  zk_web_show: function(screen, paint) {
    if (!ZkWeb.context) return;
    var from = HEAPU16.subarray(screen >> 1, (screen >> 1) + ZkWeb.W * ZkWeb.H);
    var to = ZkWeb.pixels, rgba = ZkWeb.rgba;
    for (var i = 0; i < to.length; ++i) to[i] = rgba[from[i]];
    ZkWeb.context.putImageData(ZkWeb.image, 0, 0);
    var status = ZkWeb.status;
    ++status.shows;
    // The window's first paint shows the still black buffer; the second is
    // the first frame the engine composed.
    if (paint === 2) status.firstFrame = ZkWeb.context.getImageData(0, 0, ZkWeb.W, ZkWeb.H);
  },

  // The window's icon (0xAARRGGBB words) becomes the page's.
  zk_web_icon__deps: ['$ZkWeb'],
  zk_web_icon: function(argb, width, height) {
    if (typeof document === 'undefined') return;
    var c = document.createElement('canvas');
    c.width = width;
    c.height = height;
    var g = c.getContext('2d'), image = g.createImageData(width, height), to = image.data;
    var from = HEAPU32.subarray(argb >> 2, (argb >> 2) + width * height);
    for (var i = 0; i < from.length; ++i) {
      var p = from[i];
      // The image data clamps instead of wrapping: each channel is masked.
      to[4 * i] = (p >>> 16) & 255; to[4 * i + 1] = (p >>> 8) & 255; to[4 * i + 2] = p & 255; to[4 * i + 3] = p >>> 24;
    }
    g.putImageData(image, 0, 0);
    var link = document.getElementById('zk-icon');
    if (link) link.href = c.toDataURL('image/png');
  },

  // Takes the oldest stylus event: writes message, x, y and returns 1, or
  // returns 0 when none is waiting.
  zk_web_next_event__deps: ['$ZkWeb'],
  zk_web_next_event: function(out) {
    var e = ZkWeb.events.shift();
    if (!e) return 0;
    HEAP32[out >> 2] = e[0];
    HEAP32[(out >> 2) + 1] = e[1];
    HEAP32[(out >> 2) + 2] = e[2];
    return 1;
  },

  zk_web_close__deps: ['$ZkWeb'],
  zk_web_close: function() {
    ZkWeb.end('The program has ended.');
  },

  // Gives the browser the processor for about a millisecond, then resumes
  // the program where it called this (an ASYNCIFY import). The timer is set
  // from a message task: a timer set from a timer's own callback, as a
  // resumed program would, is stretched to 4 ms once such calls nest five
  // deep.
  zk_web_sleep__deps: ['$ZkWeb'],
  zk_web_sleep: function() {
    Asyncify.handleSleep(function(wakeUp) {
      if (!ZkWeb.channel) {
        ZkWeb.channel = new MessageChannel();
        ZkWeb.channel.port1.onmessage = function() { setTimeout(ZkWeb.wake, 1); };
      }
      ZkWeb.wake = wakeUp;
      ZkWeb.channel.port2.postMessage(0);
    });
  },
});
