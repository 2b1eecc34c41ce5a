// 福字翻翻乐: a pairs game that talks with the game host through window.external.
// Written in ES5 so that every browser control the host may embed runs it.

var Game = (function () {
  "use strict";

  var FACES = ["福", "禄", "寿", "喜", "财", "春", "龙", "凤"];
  var CARD_W = 120, CARD_H = 141, GAP = 14;

  // ---- the host bridge ----

  var hostPresent = false;

  // Every call is guarded: without the host (a plain browser) window.external has no such
  // member, or does not exist at all, and the call throws.
  function callHost(text) {
    try {
      var ext = window.external;
      if (!ext) {
        return false;
      }
      ext.Call(text);
      return true;
    } catch (e) {
      return false;
    }
  }

  // "7,<log name>&<text>": the host cuts the text at the next '&', so none may appear in it.
  function log(text) {
    callHost("7,game&" + String(text).replace(/&/g, " "));
  }

  function readQuery(search) {
    var result = {};
    var query = search.charAt(0) === "?" ? search.substring(1) : search;
    var parts = query ? query.split("&") : [];
    for (var i = 0; i < parts.length; i++) {
      var eq = parts[i].indexOf("=");
      var key = eq < 0 ? parts[i] : parts[i].substring(0, eq);
      var value = eq < 0 ? "" : parts[i].substring(eq + 1);
      try {
        value = decodeURIComponent(value.replace(/\+/g, " "));
      } catch (e) {
        // a stray '%' in a value: keep the text as it came
      }
      result[key] = value;
    }
    return result;
  }

  function toVolume(text, fallback) {
    var n = parseInt(text, 10);
    if (isNaN(n)) {
      return fallback;
    }
    return n < 0 ? 0 : n;
  }

  // ---- sound: short WebAudio tones; silent where the browser has no WebAudio ----

  var sound = {
    on: true,
    effect: 500,
    music: 500,
    context: null,
    musicTimer: null,
    musicStep: 0
  };

  function audio() {
    if (sound.context) {
      return sound.context;
    }
    var Ctor = window.AudioContext || window.webkitAudioContext;
    if (!Ctor) {
      return null;
    }
    try {
      sound.context = new Ctor();
    } catch (e) {
      sound.context = null;
    }
    return sound.context;
  }

  // Volumes come as 0..1000 (a hand-edited settings file may hold more); the gain stays gentle.
  function gainFor(volume, loudest) {
    var v = Math.min(volume, 1000) / 1000;
    return v * loudest;
  }

  function tone(freq, start, length, volume, type) {
    var ctx = audio();
    if (!ctx || !sound.on || volume <= 0) {
      return;
    }
    try {
      var osc = ctx.createOscillator();
      var gain = ctx.createGain();
      var t = ctx.currentTime + start;
      osc.type = type || "sine";
      osc.frequency.value = freq;
      gain.gain.setValueAtTime(gainFor(volume, 0.25), t);
      gain.gain.exponentialRampToValueAtTime(0.0001, t + length);
      osc.connect(gain);
      gain.connect(ctx.destination);
      osc.start(t);
      osc.stop(t + length + 0.02);
    } catch (e) {
      // a tone that cannot play is not worth more than silence
    }
  }

  function effect(name) {
    var v = sound.effect;
    if (name === "flip") {
      tone(660, 0, 0.08, v, "triangle");
    } else if (name === "match") {
      tone(784, 0, 0.12, v);
      tone(1047, 0.1, 0.2, v);
    } else if (name === "miss") {
      tone(220, 0, 0.18, v, "square");
    } else if (name === "win") {
      var notes = [523, 659, 784, 1047];
      for (var i = 0; i < notes.length; i++) {
        tone(notes[i], i * 0.12, 0.25, v);
      }
    }
  }

  // A quiet pentatonic loop under the game, at the music volume.
  var MELODY = [392, 440, 523, 587, 659, 587, 523, 440];

  function musicTick() {
    tone(MELODY[sound.musicStep % MELODY.length] / 2, 0, 0.45, sound.music * 0.4);
    sound.musicStep++;
  }

  function updateMusic() {
    var wanted = sound.on && sound.music > 0 && audio() !== null;
    if (wanted && !sound.musicTimer) {
      sound.musicTimer = window.setInterval(musicTick, 500);
    } else if (!wanted && sound.musicTimer) {
      window.clearInterval(sound.musicTimer);
      sound.musicTimer = null;
    }
  }

  // ---- the page ----

  function $(id) {
    return document.getElementById(id);
  }

  function setText(id, text) {
    var el = $(id);
    if (el) {
      el.innerHTML = "";
      el.appendChild(document.createTextNode(String(text)));
    }
  }

  function showSoundState() {
    setText("sound", sound.on ? "声音：开" : "声音：关");
    setText("music", sound.music);
    setText("effect", sound.effect);
  }

  var dialogAction = null;

  function showDialog(title, text, okText, cancelText, onOk) {
    setText("dialog-title", title);
    setText("dialog-text", text);
    setText("dialog-ok", okText);
    var cancel = $("dialog-cancel");
    if (cancelText) {
      setText("dialog-cancel", cancelText);
      cancel.className = "btn";
    } else {
      cancel.className = "btn hidden";
    }
    dialogAction = onOk;
    $("mask").className = "mask";
  }

  function hideDialog() {
    $("mask").className = "mask hidden";
    dialogAction = null;
  }

  // ---- the game ----

  var state = {
    cards: [],
    open: [],
    moves: 0,
    pairs: 0,
    started: 0,
    timer: null,
    locked: false,
    closing: false
  };

  function shuffle(list) {
    for (var i = list.length - 1; i > 0; i--) {
      var j = Math.floor(Math.random() * (i + 1));
      var t = list[i];
      list[i] = list[j];
      list[j] = t;
    }
    return list;
  }

  function elapsed() {
    return state.started ? Math.floor((new Date().getTime() - state.started) / 1000) : 0;
  }

  function showScore() {
    setText("moves", state.moves);
    setText("pairs", state.pairs + " / " + FACES.length);
    setText("time", elapsed() + " 秒");
  }

  function stopTimer() {
    if (state.timer) {
      window.clearInterval(state.timer);
      state.timer = null;
    }
  }

  function newGame() {
    stopTimer();
    var board = $("board");
    board.innerHTML = "";
    var faces = shuffle(FACES.concat(FACES));
    state.cards = [];
    state.open = [];
    state.moves = 0;
    state.pairs = 0;
    state.started = 0;
    state.locked = false;
    for (var i = 0; i < faces.length; i++) {
      var el = document.createElement("div");
      el.className = "card";
      el.style.left = (i % 4) * (CARD_W + GAP) + "px";
      el.style.top = Math.floor(i / 4) * (CARD_H + GAP) + "px";
      el.appendChild(document.createTextNode(faces[i]));
      var back = document.createElement("span");
      back.className = "back";
      back.appendChild(document.createTextNode("翻翻乐"));
      el.appendChild(back);
      el.onclick = makeFlip(i);
      board.appendChild(el);
      state.cards.push({ face: faces[i], el: el, up: false, done: false });
    }
    showScore();
  }

  function makeFlip(index) {
    return function () {
      flip(index);
    };
  }

  function flip(index) {
    var card = state.cards[index];
    if (state.locked || state.closing || !card || card.up || card.done) {
      return;
    }
    if (!state.started) {
      state.started = new Date().getTime();
      state.timer = window.setInterval(showScore, 1000);
      log("开局");
    }
    if (sound.context && sound.context.state === "suspended" && sound.context.resume) {
      sound.context.resume();
    }
    card.up = true;
    card.el.className = "card up";
    state.open.push(card);
    effect("flip");
    if (state.open.length < 2) {
      return;
    }
    state.moves++;
    var a = state.open[0], b = state.open[1];
    state.open = [];
    if (a.face === b.face) {
      a.done = b.done = true;
      a.el.className = b.el.className = "card done";
      state.pairs++;
      effect("match");
      showScore();
      if (state.pairs === FACES.length) {
        win();
      }
    } else {
      state.locked = true;
      effect("miss");
      showScore();
      window.setTimeout(function () {
        a.up = b.up = false;
        a.el.className = b.el.className = "card";
        state.locked = false;
      }, 800);
    }
  }

  function win() {
    var seconds = elapsed();
    stopTimer();
    showScore();
    effect("win");
    log("过关 步数=" + state.moves + " 用时=" + seconds + "秒");
    showDialog("恭喜过关！", "用时 " + seconds + " 秒，共 " + state.moves + " 步。", "再来一局", null, function () {
      newGame();
    });
  }

  // The host asks before closing once the page has sent "6,"; the page answers "2," to agree.
  function closeRequested() {
    if (state.closing) {
      return;
    }
    showDialog("离开游戏", "确定要离开游戏吗？本局进度不会保存。", "离开", "继续游戏", function () {
      state.closing = true;
      log("玩家离开 步数=" + state.moves + " 配对=" + state.pairs);
      if (!callHost("2,")) {
        state.closing = false;
        showDialog("离开游戏", "没有连接游戏大厅，请直接关闭浏览器窗口。", "知道了", null, null);
      }
    });
  }

  // Notices from the host: "<id>,<text>".
  function onNotice(message) {
    var text = String(message);
    var comma = text.indexOf(",");
    if (comma < 0) {
      return;
    }
    var id = parseInt(text.substring(0, comma), 10);
    var value = text.substring(comma + 1);
    if (id === 1) {
      sound.on = value === "1";
      updateMusic();
      showSoundState();
    } else if (id === 3) {
      closeRequested();
    } else if (id === 4) {
      sound.music = toVolume(value, sound.music);
      updateMusic();
      showSoundState();
    } else if (id === 5) {
      sound.effect = toVolume(value, sound.effect);
      showSoundState();
    } else if (id === 7) {
      setText("param", value);
    }
  }

  function start() {
    var q = readQuery(window.location.search || "");
    var player = q.UserID ? "玩家 " + q.UserID : "游客";
    setText("greeting", "欢迎你，" + player + "！" + (q.ServerID ? "（" + q.ServerID + " 号房间）" : ""));
    setText("player", q.UserID || "游客");
    setText("server", q.ServerID || "-");
    if (q.Voice !== undefined) {
      sound.on = q.Voice !== "0";
    }
    sound.music = toVolume(q.VBackground, sound.music);
    sound.effect = toVolume(q.VEffect, sound.effect);
    showSoundState();

    $("restart").onclick = function () {
      log("重新开始");
      newGame();
    };
    $("sound").onclick = function () {
      sound.on = !sound.on;
      updateMusic();
      showSoundState();
    };
    $("dialog-ok").onclick = function () {
      var action = dialogAction;
      hideDialog();
      if (action) {
        action();
      }
    };
    $("dialog-cancel").onclick = hideDialog;

    newGame();

    // Ask the host to hand close requests to us, then for the launch value (answered at once
    // with notice 7, while this call is still running).
    hostPresent = callHost("6,");
    if (hostPresent) {
      callHost("8,");
      log("页面载入 玩家=" + (q.UserID || "") + " 房间=" + (q.ServerID || ""));
    } else {
      $("offline").className = "offline";
    }
    updateMusic();
  }

  return {
    start: start,
    onNotice: onNotice,
    readQuery: readQuery,
    hostPresent: function () {
      return hostPresent;
    },
    state: state,
    sound: sound
  };
})();

// The host calls this global function by name.
function MessageProxy(text) {
  try {
    Game.onNotice(text);
  } catch (e) {
    // the host ignores the result; a broken notice must not stop the game
  }
}

if (window.addEventListener) {
  window.addEventListener("load", Game.start, false);
} else {
  window.attachEvent("onload", Game.start);
}
