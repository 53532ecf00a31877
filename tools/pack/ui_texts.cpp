#include "tools/pack/ui_texts.h"

#include <string>

#include "support/core/ui_text.h"
#include "tools/pack/tool_error.h"
#include "tools/pe/text16.h"

namespace trevan::pack {
namespace {

// The program's own texts, exactly as it shows them (placeholders aside).
// Every other language holds the same keys; the keys' order is this one.
constexpr ui_text_entry english[] = {
    {"already_running.caption", "Already Running"},
    {"already_running.text",
     "Another installation is already running or in the process of starting up.\n"
     "Please wait until the other installation has completed before trying again."},
    {"temp_folder.text", "Unable to get Temporary Directory"},
    {"work_folder.text", "Unable to set Working Directory"},
    {"progress.text", "Preparing {product} setup\u2026"},
    {"progress.cancel", "Cancel"},
    {"open_archive.caption", "Failed to open archive!"},
    {"initialize_archive.caption", "Failed to initialize archive!"},
    {"extract_file.caption", "Failed to extract file!"},
    {"file_error.text", "File: {path}\rError: {error}"},
    {"invalid_archive.caption", "Invalid Archive!"},
    {"invalid_archive.text",
     "We are sorry, but your installation / update did not complete due to unexpected download errors.\r\n"
     "Please download full version of the program"},
    // Today a line of the log, not a box.
    {"cancelled.text", "The user cancelled the setup."},
    {"option_refused.caption", "Option not allowed"},
    {"option_refused.text", "\"{option}\" is not passed on: the setup program's options are set by the vendor."},
    {"spawn.text", "Unable to spawn process"},
    {"wait.text", "Unable to wait for process"},
    {"exit_code.text", "Unable to get process exit code"},
    // The caption of an unhandled exception is its own text, where it has one.
    {"no_context.caption", "No context available"},
    {"unhandled.text", "Unhandled Exception"},
};

constexpr ui_text_entry bulgarian[] = {
    {"already_running.caption", "Вече се изпълнява"},
    {"already_running.text",
     "Друга инсталация вече се изпълнява или се стартира.\n"
     "Изчакайте другата инсталация да завърши, преди да опитате отново."},
    {"temp_folder.text", "Не може да бъде получена временната папка"},
    {"work_folder.text", "Не може да бъде зададена работната папка"},
    {"progress.text", "Подготовка за инсталиране на {product}…"},
    {"progress.cancel", "Отказ"},
    {"open_archive.caption", "Неуспешно отваряне на архива!"},
    {"initialize_archive.caption", "Неуспешно инициализиране на архива!"},
    {"extract_file.caption", "Неуспешно извличане на файла!"},
    {"file_error.text", "Файл: {path}\rГрешка: {error}"},
    {"invalid_archive.caption", "Невалиден архив!"},
    {"invalid_archive.text",
     "За съжаление инсталирането или актуализирането не завърши поради неочаквани грешки при изтеглянето.\r\n"
     "Изтеглете пълната версия на програмата."},
    {"cancelled.text", "Потребителят отказа инсталирането."},
    {"option_refused.caption", "Опцията не е разрешена"},
    {"option_refused.text",
     "Опцията „{option}“ не се предава: опциите на инсталационната програма се задават от доставчика."},
    {"spawn.text", "Процесът не може да бъде стартиран"},
    {"wait.text", "Не може да се изчака завършването на процеса"},
    {"exit_code.text", "Не може да бъде получен кодът за изход на процеса"},
    {"no_context.caption", "Няма наличен контекст"},
    {"unhandled.text", "Необработено изключение"},
};

constexpr ui_text_entry chinese_traditional[] = {
    {"already_running.caption", "已在執行中"},
    {"already_running.text",
     "另一個安裝程式已在執行或正在啟動。\n"
     "請等候另一個安裝完成後再試一次。"},
    {"temp_folder.text", "無法取得暫存資料夾"},
    {"work_folder.text", "無法設定工作目錄"},
    {"progress.text", "正在準備安裝 {product}…"},
    {"progress.cancel", "取消"},
    {"open_archive.caption", "無法開啟安裝套件！"},
    {"initialize_archive.caption", "無法初始化安裝套件！"},
    {"extract_file.caption", "無法解壓縮檔案！"},
    {"file_error.text", "檔案：{path}\r錯誤：{error}"},
    {"invalid_archive.caption", "安裝套件無效！"},
    {"invalid_archive.text",
     "很抱歉，由於發生未預期的下載錯誤，您的安裝/更新未能完成。\r\n"
     "請下載完整版本的程式。"},
    {"cancelled.text", "使用者已取消安裝。"},
    {"option_refused.caption", "不允許此選項"},
    {"option_refused.text", "未傳遞「{option}」：安裝程式的選項由廠商設定。"},
    {"spawn.text", "無法啟動處理程序"},
    {"wait.text", "無法等候處理程序結束"},
    {"exit_code.text", "無法取得處理程序的結束代碼"},
    {"no_context.caption", "沒有可用的內容"},
    {"unhandled.text", "未處理的例外狀況"},
};

constexpr ui_text_entry czech[] = {
    {"already_running.caption", "Již spuštěno"},
    {"already_running.text",
     "Jiná instalace již probíhá nebo se právě spouští.\n"
     "Počkejte prosím, než bude druhá instalace dokončena, a potom to zkuste znovu."},
    {"temp_folder.text", "Nelze získat dočasnou složku"},
    {"work_folder.text", "Nelze nastavit pracovní složku"},
    {"progress.text", "Příprava instalace produktu {product}…"},
    {"progress.cancel", "Storno"},
    {"open_archive.caption", "Archiv nelze otevřít!"},
    {"initialize_archive.caption", "Archiv nelze inicializovat!"},
    {"extract_file.caption", "Soubor nelze extrahovat!"},
    {"file_error.text", "Soubor: {path}\rChyba: {error}"},
    {"invalid_archive.caption", "Neplatný archiv!"},
    {"invalid_archive.text",
     "Je nám líto, ale instalace nebo aktualizace nebyla kvůli neočekávaným chybám při stahování dokončena.\r\n"
     "Stáhněte si prosím plnou verzi programu."},
    {"cancelled.text", "Uživatel instalaci zrušil."},
    {"option_refused.caption", "Možnost není povolena"},
    {"option_refused.text", "Možnost „{option}“ se nepředává: možnosti instalačního programu nastavuje dodavatel."},
    {"spawn.text", "Nelze spustit proces"},
    {"wait.text", "Nelze čekat na dokončení procesu"},
    {"exit_code.text", "Nelze získat ukončovací kód procesu"},
    {"no_context.caption", "Kontext není k dispozici"},
    {"unhandled.text", "Neošetřená výjimka"},
};

constexpr ui_text_entry danish[] = {
    {"already_running.caption", "Kører allerede"},
    {"already_running.text",
     "En anden installation kører allerede eller er ved at starte.\n"
     "Vent, til den anden installation er færdig, før du prøver igen."},
    {"temp_folder.text", "Kan ikke hente den midlertidige mappe"},
    {"work_folder.text", "Kan ikke angive arbejdsmappen"},
    {"progress.text", "Forbereder installation af {product}…"},
    {"progress.cancel", "Annuller"},
    {"open_archive.caption", "Arkivet kunne ikke åbnes!"},
    {"initialize_archive.caption", "Arkivet kunne ikke initialiseres!"},
    {"extract_file.caption", "Filen kunne ikke udpakkes!"},
    {"file_error.text", "Fil: {path}\rFejl: {error}"},
    {"invalid_archive.caption", "Ugyldigt arkiv!"},
    {"invalid_archive.text",
     "Vi beklager, men din installation eller opdatering blev ikke fuldført på grund af uventede downloadfejl.\r\n"
     "Download den fulde version af programmet."},
    {"cancelled.text", "Brugeren annullerede installationen."},
    {"option_refused.caption", "Indstillingen er ikke tilladt"},
    {"option_refused.text",
     "Indstillingen \"{option}\" videregives ikke: installationsprogrammets indstillinger fastsættes af "
     "leverandøren."},
    {"spawn.text", "Kan ikke starte processen"},
    {"wait.text", "Kan ikke vente på processen"},
    {"exit_code.text", "Kan ikke hente processens afslutningskode"},
    {"no_context.caption", "Ingen kontekst tilgængelig"},
    {"unhandled.text", "Ikke-håndteret undtagelse"},
};

constexpr ui_text_entry german[] = {
    {"already_running.caption", "Wird bereits ausgeführt"},
    {"already_running.text",
     "Eine andere Installation wird bereits ausgeführt oder gerade gestartet.\n"
     "Bitte warten Sie, bis die andere Installation abgeschlossen ist, und versuchen Sie es dann erneut."},
    {"temp_folder.text", "Der temporäre Ordner kann nicht ermittelt werden"},
    {"work_folder.text", "Das Arbeitsverzeichnis kann nicht festgelegt werden"},
    {"progress.text", "Setup von {product} wird vorbereitet…"},
    {"progress.cancel", "Abbrechen"},
    {"open_archive.caption", "Fehler beim Öffnen des Archivs!"},
    {"initialize_archive.caption", "Fehler beim Initialisieren des Archivs!"},
    {"extract_file.caption", "Fehler beim Extrahieren der Datei!"},
    {"file_error.text", "Datei: {path}\rFehler: {error}"},
    {"invalid_archive.caption", "Ungültiges Archiv!"},
    {"invalid_archive.text",
     "Leider konnte Ihre Installation bzw. Ihr Update wegen unerwarteter Fehler beim Herunterladen nicht "
     "abgeschlossen werden.\r\n"
     "Bitte laden Sie die Vollversion des Programms herunter."},
    {"cancelled.text", "Der Benutzer hat das Setup abgebrochen."},
    {"option_refused.caption", "Option nicht zulässig"},
    {"option_refused.text",
     "„{option}“ wird nicht weitergegeben: Die Optionen des Setupprogramms legt der Hersteller fest."},
    {"spawn.text", "Der Prozess kann nicht gestartet werden"},
    {"wait.text", "Auf das Ende des Prozesses kann nicht gewartet werden"},
    {"exit_code.text", "Der Exitcode des Prozesses kann nicht abgerufen werden"},
    {"no_context.caption", "Kein Kontext verfügbar"},
    {"unhandled.text", "Unbehandelte Ausnahme"},
};

constexpr ui_text_entry greek[] = {
    {"already_running.caption", "Εκτελείται ήδη"},
    {"already_running.text",
     "Μια άλλη εγκατάσταση εκτελείται ήδη ή ξεκινά αυτή τη στιγμή.\n"
     "Περιμένετε να ολοκληρωθεί η άλλη εγκατάσταση και δοκιμάστε ξανά."},
    {"temp_folder.text", "Δεν είναι δυνατός ο εντοπισμός του φακέλου προσωρινών αρχείων"},
    {"work_folder.text", "Δεν είναι δυνατός ο ορισμός του φακέλου εργασίας"},
    {"progress.text", "Προετοιμασία εγκατάστασης του {product}…"},
    {"progress.cancel", "Άκυρο"},
    {"open_archive.caption", "Αποτυχία ανοίγματος της αρχειοθήκης!"},
    {"initialize_archive.caption", "Αποτυχία προετοιμασίας της αρχειοθήκης!"},
    {"extract_file.caption", "Αποτυχία εξαγωγής του αρχείου!"},
    {"file_error.text", "Αρχείο: {path}\rΣφάλμα: {error}"},
    {"invalid_archive.caption", "Μη έγκυρη αρχειοθήκη!"},
    {"invalid_archive.text",
     "Λυπούμαστε, αλλά η εγκατάσταση ή η ενημέρωση δεν ολοκληρώθηκε λόγω απροσδόκητων σφαλμάτων λήψης.\r\n"
     "Κάντε λήψη της πλήρους έκδοσης του προγράμματος."},
    {"cancelled.text", "Ο χρήστης ακύρωσε την εγκατάσταση."},
    {"option_refused.caption", "Η επιλογή δεν επιτρέπεται"},
    {"option_refused.text",
     "Η επιλογή «{option}» δεν μεταβιβάζεται: τις επιλογές του προγράμματος εγκατάστασης τις ορίζει ο "
     "προμηθευτής."},
    {"spawn.text", "Δεν είναι δυνατή η εκκίνηση της διεργασίας"},
    {"wait.text", "Δεν είναι δυνατή η αναμονή για τον τερματισμό της διεργασίας"},
    {"exit_code.text", "Δεν είναι δυνατή η ανάκτηση του κωδικού εξόδου της διεργασίας"},
    {"no_context.caption", "Δεν υπάρχει διαθέσιμο περιβάλλον"},
    {"unhandled.text", "Μη χειριζόμενη εξαίρεση"},
};

constexpr ui_text_entry spanish[] = {
    {"already_running.caption", "Ya se está ejecutando"},
    {"already_running.text",
     "Ya hay otra instalación en curso o iniciándose.\n"
     "Espere a que finalice la otra instalación antes de volver a intentarlo."},
    {"temp_folder.text", "No se puede obtener la carpeta temporal"},
    {"work_folder.text", "No se puede establecer el directorio de trabajo"},
    {"progress.text", "Preparando la instalación de {product}…"},
    {"progress.cancel", "Cancelar"},
    {"open_archive.caption", "¡No se pudo abrir el archivo comprimido!"},
    {"initialize_archive.caption", "¡No se pudo inicializar el archivo comprimido!"},
    {"extract_file.caption", "¡No se pudo extraer el archivo!"},
    {"file_error.text", "Archivo: {path}\rError: {error}"},
    {"invalid_archive.caption", "¡Archivo comprimido no válido!"},
    {"invalid_archive.text",
     "Lo sentimos, pero la instalación o actualización no se ha completado debido a errores de descarga "
     "inesperados.\r\n"
     "Descargue la versión completa del programa."},
    {"cancelled.text", "El usuario canceló la instalación."},
    {"option_refused.caption", "Opción no permitida"},
    {"option_refused.text",
     "La opción «{option}» no se transmite: las opciones del programa de instalación las establece el "
     "proveedor."},
    {"spawn.text", "No se puede iniciar el proceso"},
    {"wait.text", "No se puede esperar a que finalice el proceso"},
    {"exit_code.text", "No se puede obtener el código de salida del proceso"},
    {"no_context.caption", "No hay contexto disponible"},
    {"unhandled.text", "Excepción no controlada"},
};

constexpr ui_text_entry finnish[] = {
    {"already_running.caption", "On jo käynnissä"},
    {"already_running.text",
     "Toinen asennus on jo käynnissä tai käynnistymässä.\n"
     "Odota, kunnes toinen asennus on valmis, ja yritä sitten uudelleen."},
    {"temp_folder.text", "Väliaikaista kansiota ei voi hakea"},
    {"work_folder.text", "Työkansiota ei voi määrittää"},
    {"progress.text", "Valmistellaan tuotteen {product} asennusta…"},
    {"progress.cancel", "Peruuta"},
    {"open_archive.caption", "Arkiston avaaminen epäonnistui!"},
    {"initialize_archive.caption", "Arkiston alustaminen epäonnistui!"},
    {"extract_file.caption", "Tiedoston purkaminen epäonnistui!"},
    {"file_error.text", "Tiedosto: {path}\rVirhe: {error}"},
    {"invalid_archive.caption", "Virheellinen arkisto!"},
    {"invalid_archive.text",
     "Valitettavasti asennusta tai päivitystä ei voitu suorittaa loppuun odottamattomien latausvirheiden "
     "vuoksi.\r\n"
     "Lataa ohjelman täysi versio."},
    {"cancelled.text", "Käyttäjä peruutti asennuksen."},
    {"option_refused.caption", "Asetus ei ole sallittu"},
    {"option_refused.text", "Asetusta ”{option}” ei välitetä: asennusohjelman asetukset määrittää toimittaja."},
    {"spawn.text", "Prosessia ei voi käynnistää"},
    {"wait.text", "Prosessin päättymistä ei voi odottaa"},
    {"exit_code.text", "Prosessin lopetuskoodia ei voi hakea"},
    {"no_context.caption", "Kontekstia ei ole käytettävissä"},
    {"unhandled.text", "Käsittelemätön poikkeus"},
};

constexpr ui_text_entry french[] = {
    {"already_running.caption", "Déjà en cours d'exécution"},
    {"already_running.text",
     "Une autre installation est déjà en cours d'exécution ou en train de démarrer.\n"
     "Veuillez attendre la fin de l'autre installation avant de réessayer."},
    {"temp_folder.text", "Impossible d'obtenir le dossier temporaire"},
    {"work_folder.text", "Impossible de définir le répertoire de travail"},
    {"progress.text", "Préparation de l'installation de {product}…"},
    {"progress.cancel", "Annuler"},
    {"open_archive.caption", "Impossible d'ouvrir l'archive !"},
    {"initialize_archive.caption", "Impossible d'initialiser l'archive !"},
    {"extract_file.caption", "Impossible d'extraire le fichier !"},
    {"file_error.text", "Fichier : {path}\rErreur : {error}"},
    {"invalid_archive.caption", "Archive non valide !"},
    {"invalid_archive.text",
     "Nous sommes désolés, mais votre installation ou mise à jour n'a pas pu se terminer en raison d'erreurs de "
     "téléchargement inattendues.\r\n"
     "Veuillez télécharger la version complète du programme."},
    {"cancelled.text", "L'utilisateur a annulé l'installation."},
    {"option_refused.caption", "Option non autorisée"},
    {"option_refused.text",
     "L'option « {option} » n'est pas transmise : les options du programme d'installation sont définies par "
     "l'éditeur."},
    {"spawn.text", "Impossible de démarrer le processus"},
    {"wait.text", "Impossible d'attendre la fin du processus"},
    {"exit_code.text", "Impossible d'obtenir le code de sortie du processus"},
    {"no_context.caption", "Aucun contexte disponible"},
    {"unhandled.text", "Exception non gérée"},
};

constexpr ui_text_entry hungarian[] = {
    {"already_running.caption", "Már fut"},
    {"already_running.text",
     "Egy másik telepítés már fut vagy éppen most indul.\n"
     "Várja meg, amíg a másik telepítés befejeződik, majd próbálkozzon újra."},
    {"temp_folder.text", "Nem lehet lekérni az ideiglenes mappát"},
    {"work_folder.text", "Nem lehet beállítani a munkamappát"},
    {"progress.text", "A(z) {product} telepítésének előkészítése…"},
    {"progress.cancel", "Mégse"},
    {"open_archive.caption", "Nem sikerült megnyitni az archívumot!"},
    {"initialize_archive.caption", "Nem sikerült inicializálni az archívumot!"},
    {"extract_file.caption", "Nem sikerült kibontani a fájlt!"},
    {"file_error.text", "Fájl: {path}\rHiba: {error}"},
    {"invalid_archive.caption", "Érvénytelen archívum!"},
    {"invalid_archive.text",
     "Sajnáljuk, de a telepítés vagy frissítés váratlan letöltési hibák miatt nem fejeződött be.\r\n"
     "Töltse le a program teljes verzióját."},
    {"cancelled.text", "A felhasználó megszakította a telepítést."},
    {"option_refused.caption", "Nem engedélyezett kapcsoló"},
    {"option_refused.text",
     "A(z) „{option}” kapcsoló nem lesz továbbítva: a telepítőprogram kapcsolóit a gyártó határozza meg."},
    {"spawn.text", "Nem lehet elindítani a folyamatot"},
    {"wait.text", "Nem lehet megvárni a folyamat befejeződését"},
    {"exit_code.text", "Nem lehet lekérni a folyamat kilépési kódját"},
    {"no_context.caption", "Nincs elérhető környezet"},
    {"unhandled.text", "Nem kezelt kivétel"},
};

constexpr ui_text_entry italian[] = {
    {"already_running.caption", "Già in esecuzione"},
    {"already_running.text",
     "Un'altra installazione è già in esecuzione o in fase di avvio.\n"
     "Attendere il completamento dell'altra installazione prima di riprovare."},
    {"temp_folder.text", "Impossibile ottenere la cartella temporanea"},
    {"work_folder.text", "Impossibile impostare la directory di lavoro"},
    {"progress.text", "Preparazione dell'installazione di {product}…"},
    {"progress.cancel", "Annulla"},
    {"open_archive.caption", "Impossibile aprire l'archivio!"},
    {"initialize_archive.caption", "Impossibile inizializzare l'archivio!"},
    {"extract_file.caption", "Impossibile estrarre il file!"},
    {"file_error.text", "File: {path}\rErrore: {error}"},
    {"invalid_archive.caption", "Archivio non valido!"},
    {"invalid_archive.text",
     "Spiacenti, l'installazione o l'aggiornamento non è stato completato a causa di errori imprevisti durante "
     "il download.\r\n"
     "Scaricare la versione completa del programma."},
    {"cancelled.text", "L'utente ha annullato l'installazione."},
    {"option_refused.caption", "Opzione non consentita"},
    {"option_refused.text",
     "L'opzione \"{option}\" non viene passata: le opzioni del programma di installazione sono stabilite dal "
     "fornitore."},
    {"spawn.text", "Impossibile avviare il processo"},
    {"wait.text", "Impossibile attendere la fine del processo"},
    {"exit_code.text", "Impossibile ottenere il codice di uscita del processo"},
    {"no_context.caption", "Nessun contesto disponibile"},
    {"unhandled.text", "Eccezione non gestita"},
};

constexpr ui_text_entry japanese[] = {
    {"already_running.caption", "既に実行中です"},
    {"already_running.text",
     "別のインストールが既に実行中か、起動中です。\n"
     "そのインストールが完了するまで待ってから、もう一度お試しください。"},
    {"temp_folder.text", "一時フォルダーを取得できません"},
    {"work_folder.text", "作業フォルダーを設定できません"},
    {"progress.text", "{product} のセットアップを準備しています…"},
    {"progress.cancel", "キャンセル"},
    {"open_archive.caption", "アーカイブを開けませんでした"},
    {"initialize_archive.caption", "アーカイブを初期化できませんでした"},
    {"extract_file.caption", "ファイルを展開できませんでした"},
    {"file_error.text", "ファイル: {path}\rエラー: {error}"},
    {"invalid_archive.caption", "アーカイブが無効です"},
    {"invalid_archive.text",
     "申し訳ありません。予期しないダウンロード エラーのため、インストールまたは更新を完了できませんでした。\r\n"
     "プログラムの完全版をダウンロードしてください。"},
    {"cancelled.text", "ユーザーがセットアップをキャンセルしました。"},
    {"option_refused.caption", "許可されていないオプション"},
    {"option_refused.text",
     "「{option}」は渡されません。セットアップ プログラムのオプションはベンダーによって設定されています。"},
    {"spawn.text", "プロセスを起動できません"},
    {"wait.text", "プロセスの終了を待機できません"},
    {"exit_code.text", "プロセスの終了コードを取得できません"},
    {"no_context.caption", "コンテキストがありません"},
    {"unhandled.text", "ハンドルされていない例外"},
};

constexpr ui_text_entry korean[] = {
    {"already_running.caption", "이미 실행 중"},
    {"already_running.text",
     "다른 설치가 이미 실행 중이거나 시작하는 중입니다.\n"
     "다른 설치가 완료될 때까지 기다린 후 다시 시도하세요."},
    {"temp_folder.text", "임시 폴더를 가져올 수 없습니다."},
    {"work_folder.text", "작업 디렉터리를 설정할 수 없습니다."},
    {"progress.text", "{product} 설치를 준비하는 중…"},
    {"progress.cancel", "취소"},
    {"open_archive.caption", "압축 파일을 열지 못했습니다!"},
    {"initialize_archive.caption", "압축 파일을 초기화하지 못했습니다!"},
    {"extract_file.caption", "파일을 추출하지 못했습니다!"},
    {"file_error.text", "파일: {path}\r오류: {error}"},
    {"invalid_archive.caption", "잘못된 압축 파일입니다!"},
    {"invalid_archive.text",
     "죄송합니다. 예기치 않은 다운로드 오류로 인해 설치 또는 업데이트를 완료하지 못했습니다.\r\n"
     "프로그램의 전체 버전을 다운로드하세요."},
    {"cancelled.text", "사용자가 설치를 취소했습니다."},
    {"option_refused.caption", "허용되지 않는 옵션"},
    {"option_refused.text", "\"{option}\" 옵션은 전달되지 않습니다. 설치 프로그램의 옵션은 공급업체가 설정합니다."},
    {"spawn.text", "프로세스를 시작할 수 없습니다."},
    {"wait.text", "프로세스가 끝나기를 기다릴 수 없습니다."},
    {"exit_code.text", "프로세스 종료 코드를 가져올 수 없습니다."},
    {"no_context.caption", "사용 가능한 컨텍스트 없음"},
    {"unhandled.text", "처리되지 않은 예외"},
};

constexpr ui_text_entry dutch[] = {
    {"already_running.caption", "Wordt al uitgevoerd"},
    {"already_running.text",
     "Er wordt al een andere installatie uitgevoerd of gestart.\n"
     "Wacht tot de andere installatie is voltooid en probeer het dan opnieuw."},
    {"temp_folder.text", "Kan de tijdelijke map niet ophalen"},
    {"work_folder.text", "Kan de werkmap niet instellen"},
    {"progress.text", "Installatie van {product} voorbereiden…"},
    {"progress.cancel", "Annuleren"},
    {"open_archive.caption", "Kan het archief niet openen!"},
    {"initialize_archive.caption", "Kan het archief niet initialiseren!"},
    {"extract_file.caption", "Kan het bestand niet uitpakken!"},
    {"file_error.text", "Bestand: {path}\rFout: {error}"},
    {"invalid_archive.caption", "Ongeldig archief!"},
    {"invalid_archive.text",
     "Helaas is uw installatie of update niet voltooid vanwege onverwachte downloadfouten.\r\n"
     "Download de volledige versie van het programma."},
    {"cancelled.text", "De gebruiker heeft de installatie geannuleerd."},
    {"option_refused.caption", "Optie niet toegestaan"},
    {"option_refused.text",
     "Optie \"{option}\" wordt niet doorgegeven: de opties van het installatieprogramma worden door de "
     "leverancier bepaald."},
    {"spawn.text", "Kan het proces niet starten"},
    {"wait.text", "Kan niet wachten tot het proces is beëindigd"},
    {"exit_code.text", "Kan de afsluitcode van het proces niet ophalen"},
    {"no_context.caption", "Geen context beschikbaar"},
    {"unhandled.text", "Niet-afgehandelde uitzondering"},
};

constexpr ui_text_entry norwegian[] = {
    {"already_running.caption", "Kjører allerede"},
    {"already_running.text",
     "En annen installasjon kjører allerede eller er i ferd med å starte.\n"
     "Vent til den andre installasjonen er fullført, før du prøver på nytt."},
    {"temp_folder.text", "Kan ikke hente den midlertidige mappen"},
    {"work_folder.text", "Kan ikke angi arbeidsmappen"},
    {"progress.text", "Forbereder installasjon av {product}…"},
    {"progress.cancel", "Avbryt"},
    {"open_archive.caption", "Kunne ikke åpne arkivet!"},
    {"initialize_archive.caption", "Kunne ikke initialisere arkivet!"},
    {"extract_file.caption", "Kunne ikke pakke ut filen!"},
    {"file_error.text", "Fil: {path}\rFeil: {error}"},
    {"invalid_archive.caption", "Ugyldig arkiv!"},
    {"invalid_archive.text",
     "Beklager, men installasjonen eller oppdateringen ble ikke fullført på grunn av uventede "
     "nedlastingsfeil.\r\n"
     "Last ned fullversjonen av programmet."},
    {"cancelled.text", "Brukeren avbrøt installasjonen."},
    {"option_refused.caption", "Alternativet er ikke tillatt"},
    {"option_refused.text",
     "Alternativet «{option}» sendes ikke videre: alternativene for installasjonsprogrammet bestemmes av "
     "leverandøren."},
    {"spawn.text", "Kan ikke starte prosessen"},
    {"wait.text", "Kan ikke vente på at prosessen avsluttes"},
    {"exit_code.text", "Kan ikke hente avslutningskoden for prosessen"},
    {"no_context.caption", "Ingen kontekst tilgjengelig"},
    {"unhandled.text", "Ubehandlet unntak"},
};

constexpr ui_text_entry polish[] = {
    {"already_running.caption", "Już działa"},
    {"already_running.text",
     "Inna instalacja jest już uruchomiona lub właśnie się uruchamia.\n"
     "Zaczekaj na zakończenie tamtej instalacji, zanim spróbujesz ponownie."},
    {"temp_folder.text", "Nie można uzyskać folderu tymczasowego"},
    {"work_folder.text", "Nie można ustawić folderu roboczego"},
    {"progress.text", "Przygotowywanie instalacji programu {product}…"},
    {"progress.cancel", "Anuluj"},
    {"open_archive.caption", "Nie można otworzyć archiwum!"},
    {"initialize_archive.caption", "Nie można zainicjować archiwum!"},
    {"extract_file.caption", "Nie można wyodrębnić pliku!"},
    {"file_error.text", "Plik: {path}\rBłąd: {error}"},
    {"invalid_archive.caption", "Nieprawidłowe archiwum!"},
    {"invalid_archive.text",
     "Przepraszamy, ale instalacja lub aktualizacja nie została ukończona z powodu nieoczekiwanych błędów "
     "pobierania.\r\n"
     "Pobierz pełną wersję programu."},
    {"cancelled.text", "Użytkownik anulował instalację."},
    {"option_refused.caption", "Opcja niedozwolona"},
    {"option_refused.text", "Opcja „{option}” nie jest przekazywana: opcje programu instalacyjnego ustala dostawca."},
    {"spawn.text", "Nie można uruchomić procesu"},
    {"wait.text", "Nie można zaczekać na zakończenie procesu"},
    {"exit_code.text", "Nie można pobrać kodu zakończenia procesu"},
    {"no_context.caption", "Brak dostępnego kontekstu"},
    {"unhandled.text", "Nieobsługiwany wyjątek"},
};

constexpr ui_text_entry romanian[] = {
    {"already_running.caption", "Deja în execuție"},
    {"already_running.text",
     "O altă instalare este deja în execuție sau în curs de pornire.\n"
     "Așteptați finalizarea celeilalte instalări înainte de a încerca din nou."},
    {"temp_folder.text", "Nu se poate obține folderul temporar"},
    {"work_folder.text", "Nu se poate seta folderul de lucru"},
    {"progress.text", "Se pregătește instalarea pentru {product}…"},
    {"progress.cancel", "Revocare"},
    {"open_archive.caption", "Arhiva nu a putut fi deschisă!"},
    {"initialize_archive.caption", "Arhiva nu a putut fi inițializată!"},
    {"extract_file.caption", "Fișierul nu a putut fi extras!"},
    {"file_error.text", "Fișier: {path}\rEroare: {error}"},
    {"invalid_archive.caption", "Arhivă nevalidă!"},
    {"invalid_archive.text",
     "Ne pare rău, dar instalarea sau actualizarea nu s-a finalizat din cauza unor erori neașteptate de "
     "descărcare.\r\n"
     "Descărcați versiunea completă a programului."},
    {"cancelled.text", "Utilizatorul a revocat instalarea."},
    {"option_refused.caption", "Opțiune nepermisă"},
    {"option_refused.text",
     "Opțiunea „{option}” nu este transmisă: opțiunile programului de instalare sunt stabilite de furnizor."},
    {"spawn.text", "Nu se poate porni procesul"},
    {"wait.text", "Nu se poate aștepta încheierea procesului"},
    {"exit_code.text", "Nu se poate obține codul de ieșire al procesului"},
    {"no_context.caption", "Niciun context disponibil"},
    {"unhandled.text", "Excepție netratată"},
};

constexpr ui_text_entry russian[] = {
    {"already_running.caption", "Уже выполняется"},
    {"already_running.text",
     "Другая установка уже выполняется или запускается.\n"
     "Дождитесь завершения другой установки и повторите попытку."},
    {"temp_folder.text", "Не удается получить временную папку"},
    {"work_folder.text", "Не удается задать рабочую папку"},
    {"progress.text", "Подготовка к установке {product}…"},
    {"progress.cancel", "Отмена"},
    {"open_archive.caption", "Не удалось открыть архив!"},
    {"initialize_archive.caption", "Не удалось инициализировать архив!"},
    {"extract_file.caption", "Не удалось извлечь файл!"},
    {"file_error.text", "Файл: {path}\rОшибка: {error}"},
    {"invalid_archive.caption", "Недопустимый архив!"},
    {"invalid_archive.text",
     "К сожалению, установка или обновление не были завершены из-за непредвиденных ошибок загрузки.\r\n"
     "Загрузите полную версию программы."},
    {"cancelled.text", "Пользователь отменил установку."},
    {"option_refused.caption", "Недопустимый параметр"},
    {"option_refused.text",
     "Параметр «{option}» не передается: параметры программы установки задаются поставщиком."},
    {"spawn.text", "Не удается запустить процесс"},
    {"wait.text", "Не удается дождаться завершения процесса"},
    {"exit_code.text", "Не удается получить код завершения процесса"},
    {"no_context.caption", "Контекст недоступен"},
    {"unhandled.text", "Необработанное исключение"},
};

constexpr ui_text_entry croatian[] = {
    {"already_running.caption", "Već se izvodi"},
    {"already_running.text",
     "Druga se instalacija već izvodi ili se upravo pokreće.\n"
     "Pričekajte da se druga instalacija dovrši, a zatim pokušajte ponovno."},
    {"temp_folder.text", "Nije moguće dohvatiti privremenu mapu"},
    {"work_folder.text", "Nije moguće postaviti radnu mapu"},
    {"progress.text", "Priprema instalacije proizvoda {product}…"},
    {"progress.cancel", "Odustani"},
    {"open_archive.caption", "Otvaranje arhive nije uspjelo!"},
    {"initialize_archive.caption", "Inicijalizacija arhive nije uspjela!"},
    {"extract_file.caption", "Izdvajanje datoteke nije uspjelo!"},
    {"file_error.text", "Datoteka: {path}\rPogreška: {error}"},
    {"invalid_archive.caption", "Nevažeća arhiva!"},
    {"invalid_archive.text",
     "Nažalost, instalacija ili ažuriranje nije dovršeno zbog neočekivanih pogrešaka pri preuzimanju.\r\n"
     "Preuzmite punu verziju programa."},
    {"cancelled.text", "Korisnik je otkazao instalaciju."},
    {"option_refused.caption", "Mogućnost nije dopuštena"},
    {"option_refused.text",
     "Mogućnost „{option}“ ne prosljeđuje se: mogućnosti programa za instalaciju određuje dobavljač."},
    {"spawn.text", "Nije moguće pokrenuti proces"},
    {"wait.text", "Nije moguće pričekati završetak procesa"},
    {"exit_code.text", "Nije moguće dohvatiti izlazni kôd procesa"},
    {"no_context.caption", "Kontekst nije dostupan"},
    {"unhandled.text", "Neobrađena iznimka"},
};

constexpr ui_text_entry swedish[] = {
    {"already_running.caption", "Körs redan"},
    {"already_running.text",
     "En annan installation körs redan eller håller på att starta.\n"
     "Vänta tills den andra installationen är klar innan du försöker igen."},
    {"temp_folder.text", "Det går inte att hämta den tillfälliga mappen"},
    {"work_folder.text", "Det går inte att ange arbetsmappen"},
    {"progress.text", "Förbereder installationen av {product}…"},
    {"progress.cancel", "Avbryt"},
    {"open_archive.caption", "Det gick inte att öppna arkivet!"},
    {"initialize_archive.caption", "Det gick inte att initiera arkivet!"},
    {"extract_file.caption", "Det gick inte att extrahera filen!"},
    {"file_error.text", "Fil: {path}\rFel: {error}"},
    {"invalid_archive.caption", "Ogiltigt arkiv!"},
    {"invalid_archive.text",
     "Tyvärr slutfördes inte installationen eller uppdateringen på grund av oväntade nedladdningsfel.\r\n"
     "Ladda ned den fullständiga versionen av programmet."},
    {"cancelled.text", "Användaren avbröt installationen."},
    {"option_refused.caption", "Alternativet tillåts inte"},
    {"option_refused.text",
     "Alternativet ”{option}” skickas inte vidare: installationsprogrammets alternativ bestäms av leverantören."},
    {"spawn.text", "Det går inte att starta processen"},
    {"wait.text", "Det går inte att vänta tills processen har avslutats"},
    {"exit_code.text", "Det går inte att hämta processens slutkod"},
    {"no_context.caption", "Ingen kontext tillgänglig"},
    {"unhandled.text", "Ohanterat undantag"},
};

constexpr ui_text_entry thai[] = {
    {"already_running.caption", "กำลังทำงานอยู่แล้ว"},
    {"already_running.text",
     "มีการติดตั้งอื่นกำลังทำงานอยู่หรือกำลังเริ่มต้น\n"
     "โปรดรอจนกว่าการติดตั้งอื่นจะเสร็จสมบูรณ์ แล้วลองอีกครั้ง"},
    {"temp_folder.text", "ไม่สามารถรับโฟลเดอร์ชั่วคราวได้"},
    {"work_folder.text", "ไม่สามารถตั้งค่าโฟลเดอร์การทำงานได้"},
    {"progress.text", "กำลังเตรียมการติดตั้ง {product}…"},
    {"progress.cancel", "ยกเลิก"},
    {"open_archive.caption", "ไม่สามารถเปิดไฟล์เก็บถาวรได้!"},
    {"initialize_archive.caption", "ไม่สามารถเตรียมใช้งานไฟล์เก็บถาวรได้!"},
    {"extract_file.caption", "ไม่สามารถแยกไฟล์ได้!"},
    {"file_error.text", "ไฟล์: {path}\rข้อผิดพลาด: {error}"},
    {"invalid_archive.caption", "ไฟล์เก็บถาวรไม่ถูกต้อง!"},
    {"invalid_archive.text",
     "ขออภัย การติดตั้งหรือการอัปเดตของคุณไม่เสร็จสมบูรณ์เนื่องจากเกิดข้อผิดพลาดในการดาวน์โหลดที่ไม่คาดคิด\r\n"
     "โปรดดาวน์โหลดโปรแกรมฉบับเต็ม"},
    {"cancelled.text", "ผู้ใช้ยกเลิกการติดตั้ง"},
    {"option_refused.caption", "ไม่อนุญาตตัวเลือกนี้"},
    {"option_refused.text",
     "ตัวเลือก \"{option}\" จะไม่ถูกส่งต่อ เนื่องจากผู้จำหน่ายเป็นผู้กำหนดตัวเลือกของโปรแกรมติดตั้ง"},
    {"spawn.text", "ไม่สามารถเริ่มกระบวนการได้"},
    {"wait.text", "ไม่สามารถรอให้กระบวนการสิ้นสุดได้"},
    {"exit_code.text", "ไม่สามารถรับรหัสการออกของกระบวนการได้"},
    {"no_context.caption", "ไม่มีบริบทที่ใช้ได้"},
    {"unhandled.text", "ข้อยกเว้นที่ไม่ได้จัดการ"},
};

constexpr ui_text_entry turkish[] = {
    {"already_running.caption", "Zaten çalışıyor"},
    {"already_running.text",
     "Başka bir yükleme zaten çalışıyor veya başlatılıyor.\n"
     "Lütfen yeniden denemeden önce diğer yüklemenin tamamlanmasını bekleyin."},
    {"temp_folder.text", "Geçici klasör alınamıyor"},
    {"work_folder.text", "Çalışma klasörü ayarlanamıyor"},
    {"progress.text", "{product} kurulumu hazırlanıyor…"},
    {"progress.cancel", "İptal"},
    {"open_archive.caption", "Arşiv açılamadı!"},
    {"initialize_archive.caption", "Arşiv başlatılamadı!"},
    {"extract_file.caption", "Dosya ayıklanamadı!"},
    {"file_error.text", "Dosya: {path}\rHata: {error}"},
    {"invalid_archive.caption", "Geçersiz arşiv!"},
    {"invalid_archive.text",
     "Üzgünüz, beklenmeyen indirme hataları nedeniyle yükleme veya güncelleme tamamlanamadı.\r\n"
     "Lütfen programın tam sürümünü indirin."},
    {"cancelled.text", "Kullanıcı kurulumu iptal etti."},
    {"option_refused.caption", "Seçeneğe izin verilmiyor"},
    {"option_refused.text", "\"{option}\" seçeneği iletilmiyor: kurulum programının seçeneklerini satıcı belirler."},
    {"spawn.text", "İşlem başlatılamıyor"},
    {"wait.text", "İşlemin bitmesi beklenemiyor"},
    {"exit_code.text", "İşlemin çıkış kodu alınamıyor"},
    {"no_context.caption", "Kullanılabilir bağlam yok"},
    {"unhandled.text", "İşlenmeyen özel durum"},
};

constexpr ui_text_entry indonesian[] = {
    {"already_running.caption", "Sudah berjalan"},
    {"already_running.text",
     "Penginstalan lain sudah berjalan atau sedang dimulai.\n"
     "Tunggu hingga penginstalan lain selesai sebelum mencoba lagi."},
    {"temp_folder.text", "Tidak dapat memperoleh folder sementara"},
    {"work_folder.text", "Tidak dapat mengatur folder kerja"},
    {"progress.text", "Menyiapkan penginstalan {product}…"},
    {"progress.cancel", "Batal"},
    {"open_archive.caption", "Gagal membuka arsip!"},
    {"initialize_archive.caption", "Gagal menginisialisasi arsip!"},
    {"extract_file.caption", "Gagal mengekstrak file!"},
    {"file_error.text", "File: {path}\rKesalahan: {error}"},
    {"invalid_archive.caption", "Arsip tidak valid!"},
    {"invalid_archive.text",
     "Maaf, penginstalan atau pembaruan Anda tidak selesai karena kesalahan pengunduhan yang tidak terduga.\r\n"
     "Silakan unduh versi lengkap program ini."},
    {"cancelled.text", "Pengguna membatalkan penginstalan."},
    {"option_refused.caption", "Opsi tidak diizinkan"},
    {"option_refused.text",
     "Opsi \"{option}\" tidak diteruskan: opsi program penginstalan ditetapkan oleh vendor."},
    {"spawn.text", "Tidak dapat memulai proses"},
    {"wait.text", "Tidak dapat menunggu proses selesai"},
    {"exit_code.text", "Tidak dapat memperoleh kode keluar proses"},
    {"no_context.caption", "Tidak ada konteks yang tersedia"},
    {"unhandled.text", "Pengecualian tidak tertangani"},
};

constexpr ui_text_entry chinese_simplified[] = {
    {"already_running.caption", "已在运行"},
    {"already_running.text",
     "另一个安装程序已在运行或正在启动。\n"
     "请等待另一个安装完成后再重试。"},
    {"temp_folder.text", "无法获取临时文件夹"},
    {"work_folder.text", "无法设置工作目录"},
    {"progress.text", "正在准备安装 {product}…"},
    {"progress.cancel", "取消"},
    {"open_archive.caption", "无法打开安装包！"},
    {"initialize_archive.caption", "无法初始化安装包！"},
    {"extract_file.caption", "无法提取文件！"},
    {"file_error.text", "文件：{path}\r错误：{error}"},
    {"invalid_archive.caption", "安装包无效！"},
    {"invalid_archive.text",
     "很抱歉，由于意外的下载错误，您的安装/更新未能完成。\r\n"
     "请下载该程序的完整版本。"},
    {"cancelled.text", "用户已取消安装。"},
    {"option_refused.caption", "不允许此选项"},
    {"option_refused.text", "未传递“{option}”：安装程序的选项由供应商设置。"},
    {"spawn.text", "无法启动进程"},
    {"wait.text", "无法等待进程结束"},
    {"exit_code.text", "无法获取进程的退出代码"},
    {"no_context.caption", "无可用的上下文"},
    {"unhandled.text", "未经处理的异常"},
};

constexpr ui_text_entry portuguese[] = {
    {"already_running.caption", "Já em execução"},
    {"already_running.text",
     "Outra instalação já está em execução ou a iniciar.\n"
     "Aguarde até que a outra instalação termine antes de tentar novamente."},
    {"temp_folder.text", "Não é possível obter a pasta temporária"},
    {"work_folder.text", "Não é possível definir a pasta de trabalho"},
    {"progress.text", "A preparar a instalação de {product}…"},
    {"progress.cancel", "Cancelar"},
    {"open_archive.caption", "Não foi possível abrir o arquivo!"},
    {"initialize_archive.caption", "Não foi possível inicializar o arquivo!"},
    {"extract_file.caption", "Não foi possível extrair o ficheiro!"},
    {"file_error.text", "Ficheiro: {path}\rErro: {error}"},
    {"invalid_archive.caption", "Arquivo inválido!"},
    {"invalid_archive.text",
     "Lamentamos, mas a instalação ou atualização não foi concluída devido a erros inesperados na "
     "transferência.\r\n"
     "Transfira a versão completa do programa."},
    {"cancelled.text", "O utilizador cancelou a instalação."},
    {"option_refused.caption", "Opção não permitida"},
    {"option_refused.text",
     "A opção \"{option}\" não é transmitida: as opções do programa de instalação são definidas pelo "
     "fornecedor."},
    {"spawn.text", "Não é possível iniciar o processo"},
    {"wait.text", "Não é possível aguardar a conclusão do processo"},
    {"exit_code.text", "Não é possível obter o código de saída do processo"},
    {"no_context.caption", "Nenhum contexto disponível"},
    {"unhandled.text", "Exceção não processada"},
};

struct translation {
    ui_language language;
    std::vector<ui_text_entry> texts;
};

template <std::size_t n>
translation of(std::uint16_t lcid, std::string_view name, const ui_text_entry (&texts)[n]) {
    return {{lcid, name}, std::vector<ui_text_entry>(texts, texts + n)};
}

const std::vector<translation>& table() {
    static const std::vector<translation> languages = {
        of(1026, "Bulgarian", bulgarian),
        of(1028, "Chinese (Traditional)", chinese_traditional),
        of(1029, "Czech", czech),
        of(1030, "Danish", danish),
        of(1031, "German", german),
        of(1032, "Greek", greek),
        of(1033, "English (United States)", english),
        of(1034, "Spanish", spanish),
        of(1035, "Finnish", finnish),
        of(1036, "French", french),
        of(1038, "Hungarian", hungarian),
        of(1040, "Italian", italian),
        of(1041, "Japanese", japanese),
        of(1042, "Korean", korean),
        of(1043, "Dutch", dutch),
        of(1044, "Norwegian (Bokmål)", norwegian),
        of(1045, "Polish", polish),
        of(1048, "Romanian", romanian),
        of(1049, "Russian", russian),
        of(1050, "Croatian", croatian),
        of(1053, "Swedish", swedish),
        of(1054, "Thai", thai),
        of(1055, "Turkish", turkish),
        of(1057, "Indonesian", indonesian),
        of(2052, "Chinese (Simplified)", chinese_simplified),
        of(2057, "English (United Kingdom)", english),
        of(2070, "Portuguese (Portugal)", portuguese),
    };
    return languages;
}

std::optional<std::string_view> english_text(std::string_view key) {
    for (const ui_text_entry& e : english)
        if (e.key == key) return e.text;
    return std::nullopt;
}

std::string placeholder(std::string_view name) { return "{" + std::string(name) + "}"; }

// The placeholders of text in order. A brace that opens no placeholder of
// a name in lower-case letters and underscores, or closes none, is refused.
std::vector<std::string_view> placeholders_of(std::string_view text, const std::string& what) {
    std::vector<std::string_view> names;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '}') throw tool_error(what + " holds a \"}\" that closes no placeholder");
        if (text[i] != '{') continue;
        const std::size_t end = text.find('}', i + 1);
        const std::string_view name = text.substr(i + 1, end == std::string_view::npos ? 0 : end - i - 1);
        bool is_name = !name.empty();
        for (char c : name) is_name = is_name && ((c >= 'a' && c <= 'z') || c == '_');
        if (end == std::string_view::npos || !is_name)
            throw tool_error(what + " holds a \"{\" that opens no placeholder");
        names.push_back(name);
        i = end;
    }
    return names;
}

}  // namespace

const std::vector<ui_language>& ui_languages() {
    static const std::vector<ui_language> languages = [] {
        std::vector<ui_language> out;
        for (const translation& t : table()) out.push_back(t.language);
        return out;
    }();
    return languages;
}

// The table and the program number the texts alike.
static_assert(std::size(english) == vennic::ui_text_count);

const std::vector<std::string_view>& ui_text_keys() {
    static const std::vector<std::string_view> keys(std::begin(vennic::ui_text_keys), std::end(vennic::ui_text_keys));
    return keys;
}

const std::vector<ui_text_entry>& ui_texts_of(std::uint16_t lcid) {
    static const std::vector<ui_text_entry> none;
    for (const translation& t : table())
        if (t.language.lcid == lcid) return t.texts;
    return none;
}

std::optional<std::string_view> ui_text(std::uint16_t lcid, std::string_view key) {
    for (const ui_text_entry& e : ui_texts_of(lcid))
        if (e.key == key) return e.text;
    return std::nullopt;
}

void check_ui_text(std::string_view key, std::string_view text) {
    const std::string what = "text \"" + std::string(key) + "\"";
    const std::optional<std::string_view> original = english_text(key);
    if (!original) throw tool_error(what + " is no text of the program");
    const std::optional<std::u16string> units = pe::utf8_to_utf16(std::string(text));
    if (!units) throw tool_error(what + " is not valid UTF-8");
    if (units->empty()) throw tool_error(what + " is empty");
    // The box and the window break lines where the English text does; no
    // other control character belongs in a text the user reads.
    for (char16_t c : *units) {
        if (c >= 0x20 && (c < 0x7F || c > 0x9F)) continue;
        const bool line_break = c == u'\r' || c == u'\n';
        if (line_break && original->find(static_cast<char>(c)) != std::string_view::npos) continue;
        throw tool_error(what + (line_break ? " breaks a line where the English text has no such line break"
                                            : " holds a control character"));
    }

    const std::vector<std::string_view> wanted = placeholders_of(*original, what);
    const std::vector<std::string_view> found = placeholders_of(text, what);
    auto count = [](const std::vector<std::string_view>& names, std::string_view name) {
        std::size_t n = 0;
        for (std::string_view each : names) n += each == name;
        return n;
    };
    std::string known;
    for (std::string_view name : wanted) known += (known.empty() ? "" : ", ") + placeholder(name);
    for (std::string_view name : found)
        if (count(wanted, name) == 0)
            throw tool_error(what + " holds the unknown placeholder " + placeholder(name) + " (its placeholders: " +
                             (known.empty() ? "none" : known) + ")");
    for (std::string_view name : wanted) {
        const std::size_t n = count(found, name);
        if (n == 0) throw tool_error(what + " lacks the placeholder " + placeholder(name));
        if (n > 1) throw tool_error(what + " holds the placeholder " + placeholder(name) + " more than once");
    }
}

}  // namespace trevan::pack
