<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_GB" sourcelanguage="fr_FR">
<context>
    <name>KvoAddCommentDoneWidget</name>
    <message>
        <source>Merci, votre note a bien été enregistrée !</source>
        <translation>Thank you, your rating has been saved!</translation>
    </message>
    <message>
        <source>Faites également la promotion de ce vorn sur Facebook :</source>
        <translation>Also promote this vorn on Facebook:</translation>
    </message>
    <message>
        <source>J&apos;aime</source>
        <translation>Like</translation>
    </message>
</context>
<context>
    <name>KvoAddCommentWidget</name>
    <message>
        <source>Ajout d&apos;une évaluation</source>
        <translation>Add a review</translation>
    </message>
    <message>
        <source>Minimum 50 caractères.</source>
        <translation>Minimum 50 characters.</translation>
    </message>
    <message>
        <source>ENVOYER</source>
        <translation>SEND</translation>
    </message>
    <message>
        <source>Veuillez notez ce vorn</source>
        <translation>Please rate this vorn</translation>
    </message>
    <message>
        <source>Minimum %0 caractère(s)</source>
        <translation>At least %0 more character(s)</translation>
    </message>
</context>
<context>
    <name>KvoAddSignetWidget</name>
    <message>
        <source>Ajout d&apos;un signet</source>
        <translation>Add a bookmark</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>KvoDesktopNotifier</name>
    <message>
        <source>Ouvrir</source>
        <translation>Open</translation>
    </message>
</context>
<context>
    <name>KvoDetailSoftwareItem</name>
    <message>
        <source>Parcourir...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>Fichier manquant</source>
        <translation>Missing file</translation>
    </message>
    <message>
        <source>Télécharger</source>
        <translation>Download</translation>
    </message>
</context>
<context>
    <name>KvoDialog</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Notification</source>
        <translation>Notification</translation>
    </message>
</context>
<context>
    <name>KvoDownloadWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Télécharger</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>1 seconde</source>
        <translation>1 second</translation>
    </message>
    <message>
        <source>1 minute</source>
        <translation>1 minute</translation>
    </message>
    <message>
        <source>en attente</source>
        <translation>queued</translation>
    </message>
    <message>
        <source>Erreur - formation absente de la bibliothèque</source>
        <translation>Error - course not in the library</translation>
    </message>
    <message>
        <source>télechargement annulé</source>
        <translation>download cancelled</translation>
    </message>
    <message>
        <source>Erreur - dossier des vidéos inaccessible</source>
        <translation>Error - video folder inaccessible</translation>
    </message>
    <message>
        <source>Erreur - adresse de la vidéo absente</source>
        <translation>Error - video address missing</translation>
    </message>
    <message>
        <source>( Début du téléchargement )</source>
        <translation>( Starting download )</translation>
    </message>
    <message>
        <source>( Calcul du temps restant... )</source>
        <translation>( Calculating time remaining... )</translation>
    </message>
    <message>
        <source>Erreur - fichier corrompu</source>
        <translation>Error - corrupted file</translation>
    </message>
    <message>
        <source>Erreur - connexion impossible</source>
        <translation>Error - cannot connect</translation>
    </message>
    <message>
        <source>Erreur - fichier indisponible</source>
        <translation>Error - file unavailable</translation>
    </message>
    <message>
        <source>Erreur - écriture du fichier impossible</source>
        <translation>Error - cannot write the file</translation>
    </message>
    <message>
        <source>Erreur - connexion coupée</source>
        <translation>Error - connection lost</translation>
    </message>
    <message>
        <source>Téléchargement terminé</source>
        <translation>Download complete</translation>
    </message>
    <message>
        <source>Relancer</source>
        <translation>Retry</translation>
    </message>
    <message>
        <source> [ %1 vidéos ]</source>
        <translation> [ %1 videos ]</translation>
    </message>
    <message>
        <source> [ %1 / %2 vidéos ]</source>
        <translation> [ %1 / %2 videos ]</translation>
    </message>
    <message>
        <source>%1 heures et </source>
        <translation>%1 hours and </translation>
    </message>
    <message>
        <source>%1 heure et </source>
        <translation>%1 hour and </translation>
    </message>
    <message>
        <source>%1 secondes</source>
        <translation>%1 seconds</translation>
    </message>
    <message>
        <source>%1 minutes</source>
        <translation>%1 minutes</translation>
    </message>
    <message>
        <source>( temps estimé : %1 )</source>
        <translation>( estimated time: %1 )</translation>
    </message>
</context>
<context>
    <name>KvoFaqWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>_question_</source>
        <translation>_question_</translation>
    </message>
    <message>
        <source>_answer_</source>
        <translation>_answer_</translation>
    </message>
</context>
<context>
    <name>KvoFirstRunImport</name>
    <message>
        <source>Le fichier %1 a disparu.</source>
        <translation>The file %1 has disappeared.</translation>
    </message>
    <message>
        <source>Le fichier %1 est vide ou incomplet.</source>
        <translation>The file %1 is empty or incomplete.</translation>
    </message>
    <message>
        <source>Le dossier %1 ne peut pas être créé.</source>
        <translation>The folder %1 cannot be created.</translation>
    </message>
    <message>
        <source>%1 n&apos;a pas pu être copié : %2</source>
        <translation>%1 could not be copied: %2</translation>
    </message>
</context>
<context>
    <name>KvoListWidgetItem</name>
    <message>
        <source>vidéo</source>
        <translation>video</translation>
    </message>
    <message>
        <source>vidéos</source>
        <translation>videos</translation>
    </message>
</context>
<context>
    <name>KvoLoadingFrame</name>
    <message>
        <source>Chargement</source>
        <translation>Loading</translation>
    </message>
</context>
<context>
    <name>KvoLoginDialog</name>
    <message>
        <source>Vistrelle - Connexion</source>
        <translation>Vistrelle - Sign in</translation>
    </message>
    <message>
        <source>Connexion</source>
        <translation>Sign in</translation>
    </message>
    <message>
        <source>Connectez-vous avec votre compte pour retrouver vos formations.</source>
        <translation>Sign in with your account to find your courses.</translation>
    </message>
    <message>
        <source>IDENTIFIANT</source>
        <translation>USERNAME</translation>
    </message>
    <message>
        <source>Votre identifiant</source>
        <translation>Your username</translation>
    </message>
    <message>
        <source>MOT DE PASSE</source>
        <translation>PASSWORD</translation>
    </message>
    <message>
        <source>Votre mot de passe</source>
        <translation>Your password</translation>
    </message>
    <message>
        <source>Se souvenir de moi</source>
        <translation>Remember me</translation>
    </message>
    <message>
        <source>Se connecter</source>
        <translation>Sign in</translation>
    </message>
    <message>
        <source>Connexion en cours…</source>
        <translation>Signing in…</translation>
    </message>
</context>
<context>
    <name>KvoMainWindow</name>
    <message>
        <source>Vistrelle</source>
        <translation>Vistrelle</translation>
    </message>
    <message>
        <source>Rechercher...</source>
        <translation>Search...</translation>
    </message>
    <message>
        <source>_level_1_</source>
        <translation>_level_1_</translation>
    </message>
    <message>
        <source>_level_2_</source>
        <translation>_level_2_</translation>
    </message>
    <message>
        <source>_level_3_</source>
        <translation>_level_3_</translation>
    </message>
    <message>
        <source>Bonjour _user_, il vous reste</source>
        <translation>Hello _user_, you have</translation>
    </message>
    <message>
        <source>_credits_</source>
        <translation>_credits_</translation>
    </message>
    <message>
        <source> Déconnexion</source>
        <translation> Sign out</translation>
    </message>
    <message>
        <source>BIBLIOTHÈQUE</source>
        <translation>LIBRARY</translation>
    </message>
    <message>
        <source> Toutes mes vidéos</source>
        <translation> All my videos</translation>
    </message>
    <message>
        <source> À télécharger</source>
        <translation> To download</translation>
    </message>
    <message>
        <source>EN BOUTIQUE</source>
        <translation>IN THE SHOP</translation>
    </message>
    <message>
        <source> Accueil</source>
        <translation> Home</translation>
    </message>
    <message>
        <source> Nouveautés</source>
        <translation> New releases</translation>
    </message>
    <message>
        <source>  Actuellement en Promo</source>
        <translation>  Currently on sale</translation>
    </message>
    <message>
        <source> Top du mois</source>
        <translation> Top of the month</translation>
    </message>
    <message>
        <source> Vos favoris</source>
        <translation> Your favourites</translation>
    </message>
    <message>
        <source>VOTRE COMPTE</source>
        <translation>YOUR ACCOUNT</translation>
    </message>
    <message>
        <source> Acheter des crédits</source>
        <translation> Buy credits</translation>
    </message>
    <message>
        <source> Configuration du player</source>
        <translation> Player settings</translation>
    </message>
    <message>
        <source> Aide &amp;&amp; Contact</source>
        <translation> Help &amp;&amp; Contact</translation>
    </message>
    <message>
        <source>RÉSEAUX SOCIAUX</source>
        <translation>SOCIAL MEDIA</translation>
    </message>
    <message>
        <source> Facebook</source>
        <translation> Facebook</translation>
    </message>
    <message>
        <source> Twitter</source>
        <translation> Twitter</translation>
    </message>
    <message>
        <source>0:00</source>
        <translation>0:00</translation>
    </message>
    <message>
        <source>Hors-ligne</source>
        <translation>Offline</translation>
    </message>
    <message>
        <source>En ligne</source>
        <translation>Online</translation>
    </message>
    <message>
        <source>Bonjour %0, il vous reste</source>
        <translation>Hello %0, you have</translation>
    </message>
    <message>
        <source>%0 crédit</source>
        <translation>%0 credit</translation>
    </message>
    <message>
        <source>%0 crédits</source>
        <translation>%0 credits</translation>
    </message>
    <message>
        <source>Nouveau signet</source>
        <translation>New bookmark</translation>
    </message>
    <message>
        <source>Fiche sur Corvane</source>
        <translation>View on Corvane</translation>
    </message>
    <message>
        <source>Noter ce vorn</source>
        <translation>Rate this vorn</translation>
    </message>
    <message>
        <source>Mute</source>
        <translation>Mute</translation>
    </message>
    <message>
        <source>Mode normal</source>
        <translation>Normal mode</translation>
    </message>
    <message>
        <source>Mode apprentissage</source>
        <translation>Learning mode</translation>
    </message>
    <message>
        <source>Plein écran</source>
        <translation>Full screen</translation>
    </message>
    <message>
        <source>Lecture</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Vidéo suivante</source>
        <translation>Next video</translation>
    </message>
    <message>
        <source>Vidéo précédente</source>
        <translation>Previous video</translation>
    </message>
</context>
<context>
    <name>KvoMessageBox</name>
    <message>
        <source>Une instance du Vistrelle est déjà lancée !</source>
        <translation>An instance of Vistrelle is already running!</translation>
    </message>
    <message>
        <source>Fermez l&apos;instance et relancez cette application.
Si le problème persiste, veuillez prendre contact avec le support.</source>
        <translation>Close that instance and start this application again.
If the problem persists, please contact support.</translation>
    </message>
    <message>
        <source>Les données de Vistrelle sur cet ordinateur étaient endommagées.</source>
        <translation>Vistrelle&apos;s data on this computer was damaged.</translation>
    </message>
    <message>
        <source>Elles ont été mises de côté et Vistrelle repart de données neuves. Connectez-vous en ligne&#xa0;: votre bibliothèque sera reconstruite et les vidéos déjà téléchargées dans votre dossier de vidéos seront retrouvées. Vos réglages sont à refaire.

Fichier mis de côté&#xa0;:
%1</source>
        <translation>It has been set aside and Vistrelle is starting again with fresh data. Sign in online: your library will be rebuilt and the videos already downloaded to your video folder will be found again. You will need to redo your settings.

File set aside:
%1</translation>
    </message>
    <message>
        <source>Vistrelle ne peut pas ouvrir ses données sur cet ordinateur.</source>
        <translation>Vistrelle cannot open its data on this computer.</translation>
    </message>
    <message>
        <source>Vérifiez l&apos;espace disque disponible et les droits d&apos;accès du fichier, puis relancez l&apos;application.

Fichier&#xa0;:
%1</source>
        <translation>Check the free disk space and the file&apos;s access rights, then restart the application.

File:
%1</translation>
    </message>
    <message>
        <source>Votre bibliothèque n&apos;a pas pu être enregistrée sur cet ordinateur.</source>
        <translation>Your library could not be saved on this computer.</translation>
    </message>
    <message>
        <source>Le disque est peut-être plein. Libérez de l&apos;espace&#xa0;: les changements seront enregistrés à la prochaine synchronisation. Tant que ce n&apos;est pas fait, ils risquent d&apos;être perdus à la fermeture.</source>
        <translation>The disk may be full. Free up some space: the changes will be saved at the next synchronisation. Until then, they may be lost when the application closes.</translation>
    </message>
</context>
<context>
    <name>KvoNotificationBox</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Titre</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>TextLabel</source>
        <translation>TextLabel</translation>
    </message>
</context>
<context>
    <name>KvoPageConfiguration</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Configuration du player</source>
        <translation>Player settings</translation>
    </message>
    <message>
        <source>Mes vidéos</source>
        <translation>My videos</translation>
    </message>
    <message>
        <source>Emplacement :</source>
        <translation>Location:</translation>
    </message>
    <message>
        <source>Parcourir...</source>
        <translation>Browse...</translation>
    </message>
    <message>
        <source>Se souvenir de mon mot de passe</source>
        <translation>Remember my password</translation>
    </message>
    <message>
        <source>Important : En cochant cette case, quiconque utilisant le player sur cet ordinateur aura la possiblité d&apos;acheter des vidéos ou de les supprimer depuis votre compte.</source>
        <translation>Important: if you tick this box, anyone using the player on this computer will be able to buy videos or delete them from your account.</translation>
    </message>
    <message>
        <source>Paramètres de proxy</source>
        <translation>Proxy settings</translation>
    </message>
    <message>
        <source>Activer le proxy</source>
        <translation>Enable proxy</translation>
    </message>
    <message>
        <source>HTTPS</source>
        <translation>HTTPS</translation>
    </message>
    <message>
        <source>SOCKS5</source>
        <translation>SOCKS5</translation>
    </message>
    <message>
        <source>Hôte</source>
        <translation>Host</translation>
    </message>
    <message>
        <source>Port : </source>
        <translation>Port: </translation>
    </message>
    <message>
        <source>Activer l&apos;authentification</source>
        <translation>Enable authentication</translation>
    </message>
    <message>
        <source>Nom d&apos;utilisateur</source>
        <translation>Username</translation>
    </message>
    <message>
        <source>Mot de passe</source>
        <translation>Password</translation>
    </message>
    <message>
        <source>Appliquer</source>
        <translation>Apply</translation>
    </message>
    <message>
        <source>Notifications</source>
        <translation>Notifications</translation>
    </message>
    <message>
        <source>Activer les notifications</source>
        <translation>Enable notifications</translation>
    </message>
    <message>
        <source>Notifications :</source>
        <translation>Notifications:</translation>
    </message>
    <message>
        <source>Bureau</source>
        <translation>Desktop</translation>
    </message>
    <message>
        <source>Intégrées</source>
        <translation>Built-in</translation>
    </message>
    <message>
        <source>Position :</source>
        <translation>Position:</translation>
    </message>
    <message>
        <source>Bas à gauche</source>
        <translation>Bottom left</translation>
    </message>
    <message>
        <source>Bas au centre</source>
        <translation>Bottom centre</translation>
    </message>
    <message>
        <source>Bas à droite</source>
        <translation>Bottom right</translation>
    </message>
    <message>
        <source>Haut à gauche</source>
        <translation>Top left</translation>
    </message>
    <message>
        <source>Haut au centre</source>
        <translation>Top centre</translation>
    </message>
    <message>
        <source>Haut à droite</source>
        <translation>Top right</translation>
    </message>
    <message>
        <source>Tester</source>
        <translation>Test</translation>
    </message>
    <message>
        <source>Notifications actives :</source>
        <translation>Active notifications:</translation>
    </message>
    <message>
        <source>Téléchargement d&apos;une vidéo terminé</source>
        <translation>Video download complete</translation>
    </message>
    <message>
        <source>Téléchargement d&apos;une mise à jour terminé</source>
        <translation>Update download complete</translation>
    </message>
    <message>
        <source>Importation</source>
        <translation>Import</translation>
    </message>
    <message>
        <source>Importer des vidéos</source>
        <translation>Import videos</translation>
    </message>
    <message>
        <source>Utilisez cet assistant pour réindexer tous les vorns en votre possession.</source>
        <translation>Use this wizard to re-index all the vorns you own.</translation>
    </message>
    <message>
        <source>Langue de l&apos;interface</source>
        <translation>Interface language</translation>
    </message>
    <message>
        <source>Utilisez ce champs si vous souhaitez modifier la langue d&apos;interface du Vistrelle.</source>
        <translation>Use this field to change Vistrelle&apos;s interface language.</translation>
    </message>
    <message>
        <source>Mises à jour</source>
        <translation>Updates</translation>
    </message>
    <message>
        <source>0%</source>
        <translation>0%</translation>
    </message>
    <message>
        <source>Vérifier maintenant</source>
        <translation>Check now</translation>
    </message>
    <message>
        <source>Installer</source>
        <translation>Install</translation>
    </message>
    <message>
        <source>Version actuelle : </source>
        <translation>Current version: </translation>
    </message>
    <message>
        <source>Recherche...</source>
        <translation>Searching...</translation>
    </message>
    <message>
        <source>CONFIGURATION NON ENREGISTRÉE</source>
        <translation>SETTINGS NOT SAVED</translation>
    </message>
    <message>
        <source>Le proxy est appliqué jusqu&apos;à la fin de la session, mais il n&apos;a pas pu être enregistré. Vérifiez l&apos;espace disque disponible puis réessayez.</source>
        <translation>The proxy applies until the end of the session, but it could not be saved. Check the free disk space and try again.</translation>
    </message>
    <message>
        <source>Emplacement des vidéos</source>
        <translation>Video location</translation>
    </message>
    <message>
        <source>EMPLACEMENT NON MODIFIÉ</source>
        <translation>LOCATION NOT CHANGED</translation>
    </message>
    <message>
        <source>Le dossier « %1 » ne peut pas être créé ou n&apos;accepte pas de fichiers. Vos vidéos restent dans « %2 ».</source>
        <translation>The folder “%1” cannot be created or does not accept files. Your videos stay in “%2”.</translation>
    </message>
    <message>
        <source>Test de notification</source>
        <translation>Test notification</translation>
    </message>
    <message>
        <source>Veuillez vous reconnecter afin de prendre en compte la modification de langue !</source>
        <translation>Please sign in again for the language change to take effect!</translation>
    </message>
    <message>
        <source>Une mise à jour est prête à être installée.</source>
        <translation>An update is ready to be installed.</translation>
    </message>
    <message>
        <source>Recherche d&apos;une mise à jour...</source>
        <translation>Checking for updates...</translation>
    </message>
    <message>
        <source>Octets</source>
        <translation>Bytes</translation>
    </message>
    <message>
        <source>Ko</source>
        <translation>KB</translation>
    </message>
    <message>
        <source>Mo</source>
        <translation>MB</translation>
    </message>
    <message>
        <source>Go</source>
        <translation>GB</translation>
    </message>
    <message>
        <source>Aucune mise à jour disponible.</source>
        <translation>No update available.</translation>
    </message>
    <message>
        <source>Une mise à jour est disponible !</source>
        <translation>An update is available!</translation>
    </message>
    <message>
        <source>dd/MM/yyyy</source>
        <translation>dd/MM/yyyy</translation>
    </message>
    <message>
        <source>Vistrelle %0 - %1 - %2</source>
        <translation>Vistrelle %0 - %1 - %2</translation>
    </message>
    <message>
        <source>Vérification impossible : vous n&apos;êtes pas connecté(e) à Internet.</source>
        <translation>Cannot check: you are not connected to the Internet.</translation>
    </message>
    <message>
        <source>Téléchargement en cours...</source>
        <translation>Downloading...</translation>
    </message>
    <message>
        <source>Téléchargement de la mise à jour échoué.</source>
        <translation>The update download failed.</translation>
    </message>
    <message>
        <source>Téléchargement terminé.</source>
        <translation>Download complete.</translation>
    </message>
    <message>
        <source>Mise à jour téléchargée</source>
        <translation>Update downloaded</translation>
    </message>
    <message>
        <source>Vous pouvez procéder à l&apos;installation</source>
        <translation>You can now install it</translation>
    </message>
</context>
<context>
    <name>KvoPageContact</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Contacter notre support :</source>
        <translation>Contact our support team:</translation>
    </message>
    <message>
        <source>Téléphone</source>
        <translation>Phone</translation>
    </message>
    <message>
        <source>Tel. : 01 99 00 27 15</source>
        <translation>Tel.: 01 99 00 27 15</translation>
    </message>
    <message>
        <source>(prix d&apos;un appel local depuis un téléphone fixe)</source>
        <translation>(local call rate from a landline)</translation>
    </message>
    <message>
        <source>Notre équipe répondra à vos questions du lundi au vendredi</source>
        <translation>Our team will answer your questions Monday to Friday</translation>
    </message>
    <message>
        <source>&lt;span style=&quot;color:#797a7e;&quot;&gt;de &lt;/span&gt;&lt;span style=&quot;color:#0096d2;&quot;&gt;9h30 à 12h&lt;/span&gt;&lt;span style=&quot;color:#797a7e;&quot;&gt; et de &lt;/span&gt;&lt;span style=&quot;color:#0096d2;&quot;&gt;14h à 16h30&lt;/span&gt;</source>
        <translation>&lt;span style=&quot;color:#797a7e;&quot;&gt;from &lt;/span&gt;&lt;span style=&quot;color:#0096d2;&quot;&gt;9:30 am to 12 pm&lt;/span&gt;&lt;span style=&quot;color:#797a7e;&quot;&gt; and from &lt;/span&gt;&lt;span style=&quot;color:#0096d2;&quot;&gt;2 pm to 4:30 pm&lt;/span&gt;</translation>
    </message>
    <message>
        <source>E-mail</source>
        <translation>Email</translation>
    </message>
    <message>
        <source>Votre message :</source>
        <translation>Your message:</translation>
    </message>
    <message>
        <source>ENVOYER</source>
        <translation>SEND</translation>
    </message>
    <message>
        <source>Contacter le support</source>
        <translation>Contact support</translation>
    </message>
    <message>
        <source>MESSAGE NON ENVOYÉ</source>
        <translation>MESSAGE NOT SENT</translation>
    </message>
    <message>
        <source>Votre message n&apos;a pas pu être enregistré. Vérifiez l&apos;espace disque disponible puis réessayez.</source>
        <translation>Your message could not be saved. Check the free disk space and try again.</translation>
    </message>
</context>
<context>
    <name>KvoPageDetailSoftware</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>_software_</source>
        <translation>_software_</translation>
    </message>
    <message>
        <source>_count_</source>
        <translation>_count_</translation>
    </message>
    <message>
        <source> S&apos;abonner</source>
        <translation> Subscribe</translation>
    </message>
    <message>
        <source> Visiter</source>
        <translation> Visit</translation>
    </message>
    <message>
        <source>Tris et Filtres</source>
        <translation>Sort and filter</translation>
    </message>
    <message>
        <source>Les + récents</source>
        <translation>Newest first</translation>
    </message>
    <message>
        <source>Par titre</source>
        <translation>By title</translation>
    </message>
    <message>
        <source>Type de vorn</source>
        <translation>Vorn type</translation>
    </message>
    <message>
        <source>Progression</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>Titre de la formation</source>
        <translation>Course title</translation>
    </message>
    <message>
        <source>Durée</source>
        <translation>Duration</translation>
    </message>
    <message>
        <source>Fichiers support</source>
        <translation>Course files</translation>
    </message>
    <message>
        <source>Lecture</source>
        <translation>Play</translation>
    </message>
    <message>
        <source>Suppression</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>S&apos;il vous manque un achat dans cette liste</source>
        <translation>If a purchase is missing from this list</translation>
    </message>
    <message>
        <source>Contactez le support</source>
        <translation>Contact support</translation>
    </message>
    <message>
        <source>%0 vidéo</source>
        <translation>%0 video</translation>
    </message>
    <message>
        <source>%0 vidéos</source>
        <translation>%0 videos</translation>
    </message>
    <message>
        <source>Les - récents</source>
        <translation>Oldest first</translation>
    </message>
    <message>
        <source>Par date</source>
        <translation>By date</translation>
    </message>
    <message>
        <source>À l&apos;unité</source>
        <translation>Single videos</translation>
    </message>
    <message>
        <source>Formations</source>
        <translation>Courses</translation>
    </message>
    <message>
        <source>Titres Z à A</source>
        <translation>Titles Z to A</translation>
    </message>
    <message>
        <source>Titres A à Z</source>
        <translation>Titles A to Z</translation>
    </message>
    <message>
        <source>Terminés</source>
        <translation>Finished</translation>
    </message>
    <message>
        <source>Commencés</source>
        <translation>Started</translation>
    </message>
    <message>
        <source>Jamais vus</source>
        <translation>Never watched</translation>
    </message>
    <message>
        <source>Souhaitez-vous vraiment supprimer cette formation de votre bibliothèque ?</source>
        <translation>Do you really want to remove this course from your library?</translation>
    </message>
    <message>
        <source>Ouvrir une vidéo</source>
        <translation>Open a video</translation>
    </message>
    <message>
        <source>Vidéo Qozmira</source>
        <translation>Qozmira video</translation>
    </message>
    <message>
        <source> Désabonner</source>
        <translation> Unsubscribe</translation>
    </message>
</context>
<context>
    <name>KvoPageDownloads</name>
    <message>
        <source>Tout télécharger</source>
        <translation>Download all</translation>
    </message>
    <message>
        <source>Actualiser</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>Dernière actualisation :</source>
        <translation>Last refreshed:</translation>
    </message>
    <message>
        <source>chargement en cours...</source>
        <translation>loading...</translation>
    </message>
    <message>
        <source>Trier par :</source>
        <translation>Sort by:</translation>
    </message>
    <message>
        <source>Date</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>Logiciel</source>
        <translation>Software</translation>
    </message>
    <message>
        <source>Vous n&apos;avez aucune formation à télécharger actuellement</source>
        <translation>You have no courses to download at the moment</translation>
    </message>
    <message>
        <source>S&apos;il vous manque un achat dans cette liste</source>
        <translation>If a purchase is missing from this list</translation>
    </message>
    <message>
        <source>Actualisez</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>ou</source>
        <translation>or</translation>
    </message>
    <message>
        <source>Contactez le support</source>
        <translation>Contact support</translation>
    </message>
    <message>
        <source>A télécharger</source>
        <translation>To download</translation>
    </message>
    <message>
        <source>Erreur de téléchargement</source>
        <translation>Download error</translation>
    </message>
    <message>
        <source>La vidéo, que vous tentez de télécharger, ne se trouve actuellement pas dans votre liste de téléchargement.</source>
        <translation>The video you are trying to download is not in your download list at the moment.</translation>
    </message>
    <message>
        <source>jamais</source>
        <translation>never</translation>
    </message>
    <message>
        <source>il y a 1 heure</source>
        <translation>1 hour ago</translation>
    </message>
    <message>
        <source>il y a 1 minute</source>
        <translation>1 minute ago</translation>
    </message>
    <message>
        <source>il y a 30 secondes</source>
        <translation>30 seconds ago</translation>
    </message>
    <message>
        <source>il y a 15 secondes</source>
        <translation>15 seconds ago</translation>
    </message>
    <message>
        <source>à l&apos;instant</source>
        <translation>just now</translation>
    </message>
    <message>
        <source>en cours</source>
        <translation>in progress</translation>
    </message>
    <message>
        <source>Erreur - session expirée</source>
        <translation>Error - session expired</translation>
    </message>
    <message>
        <source>hier à %1</source>
        <translation>yesterday at %1</translation>
    </message>
    <message>
        <source>il y a %1 heures</source>
        <translation>%1 hours ago</translation>
    </message>
    <message>
        <source>il y a %1 minutes</source>
        <translation>%1 minutes ago</translation>
    </message>
</context>
<context>
    <name>KvoPageFavoris</name>
    <message>
        <source>Vos favoris</source>
        <translation>Your favourites</translation>
    </message>
    <message>
        <source>Vous n&apos;avez pas de favoris</source>
        <translation>You have no favourites</translation>
    </message>
</context>
<context>
    <name>KvoPageHelp</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>FAQ Questions posées fréquemment</source>
        <translation>FAQ Frequently asked questions</translation>
    </message>
    <message>
        <source>Aucune réponse à vos questions ?</source>
        <translation>Didn&apos;t find your answer?</translation>
    </message>
    <message>
        <source>Contactez-nous</source>
        <translation>Contact us</translation>
    </message>
    <message>
        <source>Aide &amp;&amp; Contact</source>
        <translation>Help &amp;&amp; Contact</translation>
    </message>
</context>
<context>
    <name>KvoPageHome</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Accueil</source>
        <translation>Home</translation>
    </message>
</context>
<context>
    <name>KvoPageNews</name>
    <message>
        <source>Nouveautés</source>
        <translation>New releases</translation>
    </message>
</context>
<context>
    <name>KvoPagePlayer</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
</context>
<context>
    <name>KvoPagePromo</name>
    <message>
        <source>Actuellement en Promo</source>
        <translation>Currently on sale</translation>
    </message>
</context>
<context>
    <name>KvoPageSearch</name>
    <message>
        <source>Résultats de votre recherche :</source>
        <translation>Your search results:</translation>
    </message>
    <message>
        <source>Votre recherche n&apos;a donnée aucun résultat</source>
        <translation>Your search returned no results</translation>
    </message>
    <message>
        <source>Dans votre bibliothèque :</source>
        <translation>In your library:</translation>
    </message>
    <message>
        <source>Sur CORVANE</source>
        <translation>On CORVANE</translation>
    </message>
    <message>
        <source>Recherche</source>
        <translation>Search</translation>
    </message>
    <message>
        <source>Une erreur est survenue. Veuillez réessayer ultérieurement.</source>
        <translation>An error occurred. Please try again later.</translation>
    </message>
    <message>
        <source>Woups ! aucun résultat ne correspond à la recherche « %0 »</source>
        <translation>Oops! No results match your search “%0”</translation>
    </message>
</context>
<context>
    <name>KvoPageSoftwares</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Toutes mes vidéos</source>
        <translation>All my videos</translation>
    </message>
</context>
<context>
    <name>KvoPageTopMonth</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Aucune vidéo n&apos;est disponible</source>
        <translation>No video is available</translation>
    </message>
    <message>
        <source>Top du mois</source>
        <translation>Top of the month</translation>
    </message>
</context>
<context>
    <name>KvoPreviewPlayer</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Cet extrait ne peut pas être lu pour le moment.</source>
        <translation>This preview cannot be played at the moment.</translation>
    </message>
</context>
<context>
    <name>KvoProgressWidget</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>lu à 100%</source>
        <translation>100% watched</translation>
    </message>
    <message>
        <source>lu à %0%</source>
        <translation>%0% watched</translation>
    </message>
</context>
<context>
    <name>KvoPurchaser</name>
    <message>
        <source>CRÉDITS INSUFFISANTS</source>
        <translation>NOT ENOUGH CREDITS</translation>
    </message>
    <message>
        <source>pour télécharger cette video</source>
        <translation>to download this video</translation>
    </message>
    <message>
        <source> ACHETER DES CREDITS</source>
        <translation> BUY CREDITS</translation>
    </message>
    <message>
        <source>Veuillez confirmer le téléchargement</source>
        <translation>Please confirm the download</translation>
    </message>
    <message>
        <source>il vous restera </source>
        <translation>you will have </translation>
    </message>
    <message>
        <source>%0 crédits</source>
        <translation>%0 credits left</translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Je confirme</source>
        <translation>Confirm</translation>
    </message>
    <message>
        <source>UNE ERREUR EST SURVENUE</source>
        <translation>AN ERROR OCCURRED</translation>
    </message>
    <message>
        <source>Vidéo indisponible a la vente</source>
        <translation>Video not available for sale</translation>
    </message>
    <message>
        <source>ACHAT TERMINÉ AVEC SUCCÈS</source>
        <translation>PURCHASE SUCCESSFUL</translation>
    </message>
    <message>
        <source>Votre vidéo peut maintenant être téléchargée</source>
        <translation>Your video can now be downloaded</translation>
    </message>
    <message>
        <source>Fermer</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Télécharger</source>
        <translation>Download</translation>
    </message>
    <message>
        <source>%0 crédit</source>
        <translation>%0 credit left</translation>
    </message>
    <message>
        <source>Une erreur réseau est survenue, veuillez réessayer ultérieurement.</source>
        <translation>A network error occurred. Please try again later.</translation>
    </message>
    <message>
        <source>La réponse du service est illisible : l&apos;achat n&apos;a peut-être pas abouti. Vérifiez votre bibliothèque avant de réessayer.</source>
        <translation>The service&apos;s response could not be read: the purchase may not have gone through. Check your library before trying again.</translation>
    </message>
</context>
<context>
    <name>KvoSearchItem</name>
    <message>
        <source>voir extrait</source>
        <translation>watch preview</translation>
    </message>
    <message>
        <source>_credits_</source>
        <translation>_credits_</translation>
    </message>
    <message>
        <source>TÉLÉCHARGER</source>
        <translation>DOWNLOAD</translation>
    </message>
    <message>
        <source> ACHETÉ</source>
        <translation> BOUGHT</translation>
    </message>
    <message>
        <source>1 crédit</source>
        <translation>1 credit</translation>
    </message>
    <message>
        <source>Gratuit</source>
        <translation>Free</translation>
    </message>
    <message>
        <source>%0 crédits</source>
        <translation>%0 credits</translation>
    </message>
</context>
<context>
    <name>KvoSignIn</name>
    <message>
        <source>Veuillez saisir votre identifiant et votre mot de passe.</source>
        <translation>Please enter your username and your password.</translation>
    </message>
    <message>
        <source>Identifiant ou mot de passe incorrect.</source>
        <translation>Wrong username or password.</translation>
    </message>
    <message>
        <source>Impossible d&apos;enregistrer votre compte sur cet ordinateur. Vérifiez l&apos;espace disque disponible puis réessayez.</source>
        <translation>Your account could not be saved on this computer. Check the free disk space and try again.</translation>
    </message>
    <message>
        <source>Le service est injoignable et ces identifiants ne sont pas connus sur cet ordinateur. Vérifiez votre connexion à Internet : la connexion hors ligne n&apos;est possible qu&apos;avec un compte déjà utilisé sur cet ordinateur.</source>
        <translation>The service cannot be reached and these credentials are not known on this computer. Check your Internet connection: signing in offline only works with an account already used on this computer.</translation>
    </message>
</context>
<context>
    <name>KvoTopItem</name>
    <message>
        <source>%0 jours restants</source>
        <translation>%0 days left</translation>
    </message>
    <message>
        <source>1 jour restant</source>
        <translation>1 day left</translation>
    </message>
    <message numerus="yes">
        <source>%0 heure restantes</source>
        <translation>
            <numerusform>%0 hour left</numerusform>
            <numerusform>%0 hours left</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>expire dans %0 minutes</source>
        <translation>
            <numerusform>ends in %0 minute</numerusform>
            <numerusform>ends in %0 minutes</numerusform>
        </translation>
    </message>
    <message>
        <source>expire dans %0 seconde(s)</source>
        <translation>ends in %0 second(s)</translation>
    </message>
    <message>
        <source>%0 ventes</source>
        <translation>%0 sales</translation>
    </message>
    <message>
        <source>Retirer</source>
        <translation>Remove</translation>
    </message>
    <message>
        <source>PROMO</source>
        <translation>SALE</translation>
    </message>
    <message>
        <source>Souhaitez-vous vraiment retirer cette vidéo de vos favoris ?</source>
        <translation>Do you really want to remove this video from your favourites?</translation>
    </message>
</context>
<context>
    <name>KvoVideoImportDialog</name>
    <message>
        <source>Bienvenue dans l&apos;assitant d&apos;importation de votre bibliothèque !</source>
        <translation>Welcome to the library import wizard!</translation>
    </message>
    <message>
        <source>C&apos;est la première fois que vous lancez le nouveau Vistrelle et il est conseillé de</source>
        <translation>This is the first time you have started the new Vistrelle. We recommend</translation>
    </message>
    <message>
        <source>lancer l&apos;importation de vos vidéos déjà téléchargées afin d eretrouver l&apos;ensemble de</source>
        <translation>importing the videos you have already downloaded to bring back</translation>
    </message>
    <message>
        <source>votre bibliothèque existante.</source>
        <translation>your whole existing library.</translation>
    </message>
    <message>
        <source>Souhaitez-vous lancer le processus d&apos;importation de vos vidéos ?</source>
        <translation>Do you want to start importing your videos?</translation>
    </message>
    <message>
        <source>L&apos;opération peut prendre plusieurs minutes avant de se terminer.</source>
        <translation>This may take several minutes to complete.</translation>
    </message>
    <message>
        <source>Emplacement de votre bibliothèque vidéo :</source>
        <translation>Location of your video library:</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Espace de disque nécessaire :</source>
        <translation>Disk space needed:</translation>
    </message>
    <message>
        <source>Calcul en cours...</source>
        <translation>Calculating...</translation>
    </message>
    <message>
        <source>Prévoyez un espace de disque suffisant avant de lancer l&apos;importation !</source>
        <translation>Make sure you have enough disk space before starting the import!</translation>
    </message>
    <message>
        <source>0%</source>
        <translation>0%</translation>
    </message>
    <message>
        <source>NON MERCI</source>
        <translation>NO THANKS</translation>
    </message>
    <message>
        <source>LANCER L&apos;IMPORTATION</source>
        <translation>START IMPORT</translation>
    </message>
    <message>
        <source>© Qozmira – Vistrelle</source>
        <translation>© Qozmira – Vistrelle</translation>
    </message>
    <message>
        <source>Octets</source>
        <translation>Bytes</translation>
    </message>
    <message>
        <source>Ko</source>
        <translation>KB</translation>
    </message>
    <message>
        <source>Mo</source>
        <translation>MB</translation>
    </message>
    <message>
        <source>Go</source>
        <translation>GB</translation>
    </message>
    <message>
        <source>ANNULER</source>
        <translation>CANCEL</translation>
    </message>
    <message>
        <source>VEUILLEZ PATIENTER</source>
        <translation>PLEASE WAIT</translation>
    </message>
    <message numerus="yes">
        <source>L&apos;importation est terminée, mais %n vidéo(s) n&apos;ont pas pu être importée(s).</source>
        <translation>
            <numerusform>The import is finished, but %n video could not be imported.</numerusform>
            <numerusform>The import is finished, but %n videos could not be imported.</numerusform>
        </translation>
    </message>
    <message>
        <source>Leurs fichiers d&apos;origine ont été conservés.</source>
        <translation>Their original files have been kept.</translation>
    </message>
    <message numerus="yes">
        <source>%n vidéo(s) importée(s).</source>
        <translation>
            <numerusform>%n video imported.</numerusform>
            <numerusform>%n videos imported.</numerusform>
        </translation>
    </message>
    <message>
        <source>IMPORTATION TERMINÉE</source>
        <translation>IMPORT COMPLETE</translation>
    </message>
    <message>
        <source>FERMER</source>
        <translation>CLOSE</translation>
    </message>
    <message>
        <source>Emplacement des vidéos</source>
        <translation>Video location</translation>
    </message>
    <message>
        <source>« %1 » ne peut pas recevoir les vidéos : emplacement non modifié.</source>
        <translation>“%1” cannot take the videos: location not changed.</translation>
    </message>
    <message>
        <source>Le dossier « %1 » ne peut pas être créé ou n&apos;accepte pas de fichiers. Vos vidéos restent dans « %2 ».</source>
        <translation>The folder “%1” cannot be created or does not accept files. Your videos stay in “%2”.</translation>
    </message>
</context>
<context>
    <name>KvoVideoImporter</name>
    <message>
        <source>BIENVENUE DANS L&apos;ASSISTANT D&apos;IMPORTATION DES VIDÉOS !</source>
        <translation>WELCOME TO THE VIDEO IMPORT WIZARD!</translation>
    </message>
    <message>
        <source>Emplacement de recherche des vidéos :</source>
        <translation>Where to search for videos:</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>Copier les vidéos trouvées dans mon dossier personnel</source>
        <translation>Copy the videos found into my personal folder</translation>
    </message>
    <message>
        <source>Le processus de recherche peut prendre plusieurs minutes à s&apos;éxecuter.</source>
        <translation>The search may take several minutes.</translation>
    </message>
    <message>
        <source>ANNULER</source>
        <translation>CANCEL</translation>
    </message>
    <message>
        <source>RECHERCHER DES VORNS</source>
        <translation>SEARCH FOR VORNS</translation>
    </message>
    <message>
        <source>© Qozmira – Vistrelle</source>
        <translation>© Qozmira – Vistrelle</translation>
    </message>
    <message>
        <source>Emplacement de recherche</source>
        <translation>Search location</translation>
    </message>
    <message>
        <source>ARRÊTER LA RECHERCHE</source>
        <translation>STOP SEARCHING</translation>
    </message>
    <message>
        <source>RECHERCHE EN COURS...</source>
        <translation>SEARCHING...</translation>
    </message>
    <message>
        <source>Recherche en cours, veuillez patienter...</source>
        <translation>Searching, please wait...</translation>
    </message>
    <message>
        <source>Nombre de vidéos importées :</source>
        <translation>Videos imported:</translation>
    </message>
    <message>
        <source>RECHERCHE TERMINÉE</source>
        <translation>SEARCH COMPLETE</translation>
    </message>
    <message>
        <source>FERMER</source>
        <translation>CLOSE</translation>
    </message>
    <message>
        <source>Recherche terminée.</source>
        <translation>Search complete.</translation>
    </message>
    <message numerus="yes">
        <source>%n vidéo(s) non copiée(s), laissée(s) à leur place. %1</source>
        <translation>
            <numerusform>%n video not copied, left where it was. %1</numerusform>
            <numerusform>%n videos not copied, left where they were. %1</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>KvoVideoImporterThread</name>
    <message>
        <source>Le dossier %1 ne peut pas être créé.</source>
        <translation>The folder %1 cannot be created.</translation>
    </message>
</context>
<context>
    <name>KvoVideoPlayer</name>
    <message>
        <source>Adresse de la vidéo invalide</source>
        <translation>Invalid video address</translation>
    </message>
    <message>
        <source>Cette vidéo ne peut pas être lue.</source>
        <translation>This video cannot be played.</translation>
    </message>
</context>
<context>
    <name>KvoVideoTitle</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
</context>
<context>
    <name>UIConnection</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>HORS CONNEXION</source>
        <translation>OFFLINE</translation>
    </message>
    <message>
        <source>Veuillez vous connecter à Internet pour continuer</source>
        <translation>Please connect to the Internet to continue</translation>
    </message>
</context>
<context>
    <name>UIDeleteVideoDialog</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Souhaitez-vous vraiment supprimer cette formation de votre bibliothèque ?</source>
        <translation>Do you really want to remove this course from your library?</translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Retirer de ma bibliothèque</source>
        <translation>Remove from my library</translation>
    </message>
    <message>
        <source>Supprimer de mon ordinateur</source>
        <translation>Delete from my computer</translation>
    </message>
</context>
<context>
    <name>UIErrorParcourirVideoDialog</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>ERREUR DE SÉLECTION</source>
        <translation>SELECTION ERROR</translation>
    </message>
    <message>
        <source>La vidéo sélectionnée ne correspond pas avec celle que vous essayez de remplacer.</source>
        <translation>The selected video does not match the one you are trying to replace.</translation>
    </message>
</context>
<context>
    <name>UIErrorPlayVideoDialog</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>ERREUR DE LECTURE</source>
        <translation>PLAYBACK ERROR</translation>
    </message>
    <message>
        <source>&lt;html&gt;&lt;head&gt;&lt;meta name=&quot;qrichtext&quot; content=&quot;1&quot; /&gt;&lt;/head&gt;&lt;body style=&quot; font-family:&apos;Arial&apos;; font-size:12px; font-weight:400; font-style:normal;&quot;&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;Vous ne disposez pas des droits nécessaires pour lire cette formation ou&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;elle est corrompue et n&apos;existe plus sur votre ordinateur.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</source>
        <translation>&lt;html&gt;&lt;head&gt;&lt;meta name=&quot;qrichtext&quot; content=&quot;1&quot; /&gt;&lt;/head&gt;&lt;body style=&quot; font-family:&apos;Arial&apos;; font-size:12px; font-weight:400; font-style:normal;&quot;&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;You do not have the rights needed to play this course, or&lt;/p&gt;
&lt;p style=&quot; margin-top:0px; margin-bottom:0px; margin-left:0px; margin-right:0px; -qt-block-indent:0; text-indent:0px;&quot;&gt;it is corrupted and no longer on your computer.&lt;/p&gt;&lt;/body&gt;&lt;/html&gt;</translation>
    </message>
</context>
<context>
    <name>UIHasToUpdateDialog</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Une nouvelle version du Vistrelle a éte téléchargée.</source>
        <translation>A new version of Vistrelle has been downloaded.</translation>
    </message>
    <message>
        <source>Souhaitez-vous l&apos;installer maintenant ?</source>
        <translation>Do you want to install it now?</translation>
    </message>
    <message>
        <source>Important : L&apos;installation nécessite le redémarrage du player.</source>
        <translation>Important: installing requires restarting the player.</translation>
    </message>
    <message>
        <source>&lt;p&gt;Assurez-vous d&apos;avoir terminé toutes vos tâches avant de procéder son installation.&lt;/p&gt;</source>
        <translation>&lt;p&gt;Make sure you have finished all your tasks before installing it.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Installer la mise à jour</source>
        <translation>Install the update</translation>
    </message>
</context>
<context>
    <name>UINewUpdateDialog</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>Une nouvelle version du Vistrelle est disponible !</source>
        <translation>A new version of Vistrelle is available!</translation>
    </message>
    <message>
        <source>_infos_</source>
        <translation>_infos_</translation>
    </message>
    <message>
        <source>Annuler</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Télécharger la mise à jour</source>
        <translation>Download the update</translation>
    </message>
</context>
<context>
    <name>UISentMessageDialog</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>MESSAGE ENVOYÉ</source>
        <translation>MESSAGE SENT</translation>
    </message>
    <message>
        <source>Notre équipe technique vous répondra sous 48h</source>
        <translation>Our technical team will reply within 48 hours</translation>
    </message>
</context>
<context>
    <name>UISessionDialog</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>SESSION EXPIRÉE</source>
        <translation>SESSION EXPIRED</translation>
    </message>
    <message>
        <source>Connexion au player interrompue car votre compte est utilisé depuis un autre poste.</source>
        <translation>Player connection interrupted because your account is in use on another computer.</translation>
    </message>
</context>
<context>
    <name>UISuccessSavedConfig</name>
    <message>
        <source>Form</source>
        <translation>Form</translation>
    </message>
    <message>
        <source>CONFIGURATION ENREGISTRÉE</source>
        <translation>SETTINGS SAVED</translation>
    </message>
    <message>
        <source>&lt;p&gt;La nouvelle configuration a bien été appliquée dans les réglages du Vistrelle.&lt;/p&gt;</source>
        <translation>&lt;p&gt;The new settings have been applied to Vistrelle.&lt;/p&gt;</translation>
    </message>
</context>
</TS>
